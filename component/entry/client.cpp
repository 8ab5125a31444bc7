// Client object and factory list.
