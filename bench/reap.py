#!/usr/bin/env python3
"""Runs a command and waits for it and every process it leaves behind.

A batch plot detaches into the background when the plot is closed; a
benchmark of such a run must wait for the background part too.  This makes
itself the subreaper of the command's processes and returns when the last
of them has ended, with the command's own exit status."""
import ctypes
import os
import sys

PR_SET_CHILD_SUBREAPER = 36
ctypes.CDLL(None).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
pid = os.fork()
if pid == 0:
    os.execvp(sys.argv[1], sys.argv[1:])
status = 0
while True:
    try:
        done, st = os.wait()
    except ChildProcessError:
        break
    if done == pid:
        status = st
sys.exit(os.waitstatus_to_exitcode(status))
