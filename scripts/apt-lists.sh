#!/usr/bin/env bash
# Sourced by the install scripts: fetches the package lists. A mirror caught in the middle of a
# sync serves a list that does not match its release file; that passes within minutes, so the
# fetch is tried again before the install goes on with the lists there are (and then fails
# plainly if a package it needs is not among them).
update_package_lists() {
    local attempt
    for attempt in 1 2 3 4; do
        apt-get update -q && return 0
        [ "$attempt" -lt 4 ] && echo "package lists incomplete; trying again in 30 s" >&2 && sleep 30
    done
    echo "some package lists could not be fetched; going on with those there are" >&2
}
