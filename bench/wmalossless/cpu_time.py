"""Runs a command and prints the CPU seconds (user + system) of the processes it started.

Only what the command itself used counts: a launcher in front of the interpreter (a
version-manager shim, say) runs helper processes whose time the interpreter inherits.
The command's standard output is discarded.

usage: python3 cpu_time.py <command> [arguments...]
"""
import resource
import subprocess
import sys


def spent():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


before = spent()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
print(f"{spent() - before:.6f}")
