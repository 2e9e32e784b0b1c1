#!/bin/sh
# Replaces the exchange file by a link to a file of the user.
ln -sf precious.txt "$1"
