#!/usr/bin/env bash
# Sourced by the install scripts: fetches the package lists.
# - apt keeps a release file it already has when the mirror serves an older one, so after a mirror
#   goes back one sync the kept release file names indexes the mirror no longer has. The first
#   failure therefore drops the lists and fetches them afresh from what the mirror serves now.
# - A mirror caught in the middle of a sync serves a list that does not match its release file;
#   that passes within minutes, so the fetch is tried again before the install goes on with the
#   lists there are (and then fails plainly if a package it needs is not among them).
update_package_lists() {
    local attempt
    for attempt in 1 2 3 4; do
        apt-get update -q && return 0
        if [ "$attempt" -eq 1 ]; then
            echo "package lists do not match the mirror; fetching them afresh" >&2
            find /var/lib/apt/lists -mindepth 1 -maxdepth 2 -type f ! -name lock -delete
        elif [ "$attempt" -lt 4 ]; then
            echo "package lists incomplete; trying again in 30 s" >&2
            sleep 30
        fi
    done
    echo "some package lists could not be fetched; going on with those there are" >&2
}
