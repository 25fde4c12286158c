#!/usr/bin/env bash
# slurm_array.sh ZENTRILOX ARRAY-SCRIPT: on a single-node Slurm cluster of its own, the array job
# equals a single run, a task failing half-way is requeued, a resubmission redoes what is amiss.
set -euo pipefail
tool=$1 script=$2
[ "$(id -u)" -eq 0 ] && command -v munged slurmctld slurmd sbatch >/dev/null ||
    { echo "skipped: needs root (slurmd) and Slurm" && exit 77; }
work=$(mktemp -d) && chmod 711 "$work" # munged wants its socket's folder open to all
# The daemons run in the foreground as this shell's jobs and end with it, however it ends.
trap '[ $? -eq 0 ] || tail -n 15 "$work"/*.log
    kill $(jobs -p) 2>/dev/null; wait; rm -rf "$work"' EXIT

dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none && chmod 400 "$work/munge.key"
read -r ctld_port node_port < <(python3 -c 'import socket; s = [socket.socket() for _ in "ab"]
print(*[x.bind(("127.0.0.1", 0)) or x.getsockname()[1] for x in s])')
# Private pid files: a daemon stops the one named in its pid file. Credentials of 5 s and a
# scheduler pass a second: a requeued task starts again at once.
printf '%s\n' ClusterName=zentrilox-test "SlurmctldHost=localhost(127.0.0.1)" \
    SlurmctldPort="$ctld_port" SlurmdPort="$node_port" StateSaveLocation="$work" \
    SlurmdSpoolDir="$work" SlurmctldPidFile="$work/slurmctld.pid" SlurmdPidFile="$work/slurmd.pid" \
    AuthInfo=socket="$work/munge.sock",cred_expire=5 SchedulerParameters=sched_interval=1 \
    ProctrackType=proctrack/linuxproc TaskPlugin=task/none SelectType=select/cons_tres \
    SelectTypeParameters=CR_CPU SlurmdParameters=config_overrides \
    "NodeName=localhost NodeAddr=127.0.0.1 CPUs=4" \
    "PartitionName=test Nodes=localhost Default=YES State=UP" >"$work/slurm.conf"
export SLURM_CONF=$work/slurm.conf
munged -F --socket="$work/munge.sock" --key-file="$work/munge.key" --pid-file="$work/munged.pid" \
    --seed-file="$work/munged.seed" >"$work/munged.log" 2>&1 &
slurmctld -D >"$work/slurmctld.log" 2>&1 &
slurmd -D -N localhost >"$work/slurmd.log" 2>&1 &

args=(--size 48x36 --frames 10 --seed 7 --split row-width)
mkdir "$work/ref" "$work/out"
"$tool" "${args[@]}" -o "$work/ref/f_%02d.png"
submit() {
    timeout 120 sbatch --wait --array=0-3 --output="$work/task-%a.log" "$@" "$script" \
        "${args[@]}" -o "$work/out/f_%02d.png" >/dev/null
}
# Task 1 (frames 2-4) finds a folder in the way of frame 3 on its first attempt.
install -m 755 /dev/stdin "$work/flaky" <<FLAKY
#!/bin/sh
[ "\$SLURM_ARRAY_TASK_ID\${SLURM_RESTART_COUNT:-}" = 1 ] || exec "$tool" "\$@"
mkdir "$work/out/f_03.png" && "$tool" "\$@"
rmdir "$work/out/f_03.png" && exit 1
FLAKY
ZENTRILOX=$work/flaky submit
diff -r "$work/ref" "$work/out"
grep -q "1 of 3 frames were already complete" "$work/task-1.log"

# Submitted again, two frames at once per task, after damage: frame 9 is complete if stale and
# is kept; 5 is gone, 6 cut short and 7 another picture: they are rendered again.
rm "$work/out/f_05.png"
head -c 100 "$work/ref/f_06.png" >"$work/out/f_06.png"
"$tool" --size 8x8 -o "$work/out/f_07.png"
cp "$work/ref/f_00.png" "$work/out/f_09.png" && cp "$work/ref/f_00.png" "$work/ref/f_09.png"
ZENTRILOX=$tool submit --cpus-per-task=2
diff -r "$work/ref" "$work/out"
