#!/usr/bin/env bash
# Refreshes apt's package lists for the set-up scripts. A mirror caught mid-sync can serve one
# architecture's index with a size that does not match its release file (armhf's, say), which
# fails the whole update; a later try usually finds it settled. So the update is tried a few
# times, and when it still fails the set-up goes on with a warning: the lists that did arrive
# are used, and the install that follows still fails loudly if anything it needs is missing.
set -uo pipefail

tries=3
for try in $(seq 1 "$tries"); do
  apt-get update && exit 0
  [ "$try" -lt "$tries" ] && { echo "apt-update.sh: try $try of $tries failed; again in 10 s" >&2; sleep 10; }
done
echo "apt-update.sh: warning: some package lists could not be fetched after $tries tries; going on" >&2
exit 0
