#!/bin/sh
# Killed by SIGKILL (the shell that ran it reports 128 + 9).
kill -9 $$
