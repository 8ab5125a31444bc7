// Entry point of the component; filled in with the client object.
