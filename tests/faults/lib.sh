# Shared by the fault tests: the end-to-end tests' staging and driving, and what the fault tests
# look at in the running program. Sourced with the same arguments as tests/e2e/lib.sh.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

# open_descriptors PID : how many files the process holds open.
open_descriptors() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }

# children PID : the processes whose parent is PID, with their state.
children() { ps -o pid=,stat=,comm= --ppid "$1" || true; }
no_children() { [ -z "$(children "$1")" ]; }
