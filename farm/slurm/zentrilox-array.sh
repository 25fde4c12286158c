#!/usr/bin/env bash
# One task of a Slurm array job that renders a zentrilox sequence: the array's tasks share the
# frames in ranges that differ by at most one frame, whatever the two counts.
#
#   sbatch --array=0-31 [--cpus-per-task=N] zentrilox-array.sh ARGUMENTS-OF-THE-WHOLE-RUN...
#
# The arguments are those of a single run (with --frames N); each task adds its --range, and
# --skip-existing so that a retried task or a job submitted again renders only the frames still
# missing. A task that fails requeues itself, up to ZX_RETRIES times (default 2); a usage error
# is not retried. ZENTRILOX names the tool (default: zentrilox on PATH).
#SBATCH --job-name=zentrilox
#SBATCH --output=zentrilox-%A_%a.log
#SBATCH --open-mode=append
#SBATCH --requeue
set -uo pipefail

refuse() {
    echo "zentrilox-array: $*" >&2
    exit 2
}

frames=
cpus=${SLURM_CPUS_PER_TASK:-1}
jobs=(--jobs $((cpus < 64 ? cpus : 64))) # the tool renders at most 64 frames at once
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
    case ${args[i]} in
        --frames) frames=${args[i + 1]:-} ;;
        --frames=*) frames=${args[i]#--frames=} ;;
        --jobs | --jobs=*) jobs=() ;;
        --range | --range=*) refuse "--range is the script's own: give the whole run's arguments" ;;
    esac
done
[[ $frames =~ ^0*[1-9][0-9]*$ ]] || refuse "give the sequence's length with --frames N"
frames=$((10#$frames))
[ -n "${SLURM_ARRAY_TASK_COUNT:-}" ] ||
    refuse "run it as an array job: sbatch --array=0-N zentrilox-array.sh ..."

# The task's place in the array; a step (0-30:2) or a limit (0-31%8) keeps the count right.
offset=$((SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN))
step=${SLURM_ARRAY_TASK_STEP:-1}
index=$((offset / step))
count=$SLURM_ARRAY_TASK_COUNT
((offset % step == 0 && index < count)) ||
    refuse "give --array one range such as 0-31, not a list"

first=$((index * frames / count))
last=$(((index + 1) * frames / count - 1))
attempt=$((${SLURM_RESTART_COUNT:-0} + 1))
if ((first > last)); then
    echo "zentrilox-array: task $index of $count has no frames: the sequence has $frames"
    exit 0
fi
echo "zentrilox-array: task $index of $count, frames $first-$last, attempt $attempt"
"${ZENTRILOX:-zentrilox}" "$@" --range "$first-$last" --skip-existing "${jobs[@]}"
status=$?
if ((status != 0 && status != 2 && attempt <= ${ZX_RETRIES:-2})); then
    # Back in the queue; the next attempt skips the frames this one finished.
    echo "zentrilox-array: attempt $attempt failed (status $status); requeued" >&2
    scontrol requeue "$SLURM_JOB_ID"
fi
exit "$status"
