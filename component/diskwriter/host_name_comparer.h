// Makes the support library compare metadata names with the host's own
// case-insensitive UTF-8 comparison.
#pragma once

// Installs it once per process; later calls do nothing.
void InstallHostNameComparer();
