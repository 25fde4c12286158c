#!/usr/bin/env bash
# A single-node Slurm cluster of its own (private folder, munge socket and ports): the array
# script's frames equal a single run's, a task that fails half-way is requeued and finishes its
# share, and the job submitted again keeps the complete frames and redoes every other file.
#   usage: slurm_array.sh ZENTRILOX ARRAY-SCRIPT
set -euo pipefail
tool=$1 script=$2
for program in munged slurmctld slurmd sbatch python3; do
    command -v "$program" >/dev/null || { echo "skipped: no $program" && exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: slurmd runs jobs as root only" && exit 77; }

work=$(mktemp -d)
chmod 711 "$work"  # munged wants its socket reachable by everyone
stop() {
    local status=$? pids=()
    [ $status -eq 0 ] || tail -n 15 "$work"/*.log "$work"/log-*.txt 2>/dev/null || true
    for daemon in slurmd slurmctld munged; do
        [ -s "$work/$daemon.pid" ] && pids+=("$(cat "$work/$daemon.pid")")
    done
    [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null && sleep 0.1; done
    done
    rm -rf "$work"
    exit $status
}
trap stop EXIT
trap 'exit 1' INT TERM

dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge.key"
munged --socket="$work/munge.sock" --key-file="$work/munge.key" --pid-file="$work/munged.pid" \
    --log-file="$work/munged.log" --seed-file="$work/munged.seed"
read -r ctld_port node_port < <(python3 -c 'import socket
s = [socket.socket() for _ in "ab"]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))')
mkdir "$work/state" "$work/spool" "$work/ref" "$work/out"
# Credentials of five seconds and a scheduler pass every second: a requeued task starts again
# at once.
cat >"$work/slurm.conf" <<CONF
ClusterName=zentrilox-test
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge.sock,cred_expire=5
SchedulerType=sched/builtin
SchedulerParameters=sched_interval=1
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
NodeName=localhost NodeAddr=127.0.0.1 CPUs=4 State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=10 State=UP
CONF
export SLURM_CONF=$work/slurm.conf
slurmctld
slurmd -N localhost
for _ in $(seq 100); do
    [ "$(sinfo -h -o %T 2>/dev/null)" = idle ] && break
    sleep 0.1
done

args=(--size 48x36 --frames 10 --seed 7 --split row-width)
"$tool" "${args[@]}" -o "$work/ref/f_%02d.png"
submit() {
    timeout 120 sbatch --wait --array=0-3 --output="$work/log-%a.txt" "$@" "$script" \
        "${args[@]}" -o "$work/out/f_%02d.png" >/dev/null
}

# Task 1 (frames 2-4) finds a folder in the way of frame 3 on its first attempt.
cat >"$work/flaky" <<FLAKY
#!/bin/sh
[ "\$SLURM_ARRAY_TASK_ID\${SLURM_RESTART_COUNT:-}" = 1 ] || exec "$tool" "\$@"
mkdir "$work/out/f_03.png" && "$tool" "\$@"
status=\$? && rmdir "$work/out/f_03.png" && exit \$status
FLAKY
chmod +x "$work/flaky"
ZENTRILOX=$work/flaky submit
diff -r "$work/ref" "$work/out"
grep -q "attempt 1 failed (status 1); requeued" "$work/log-1.txt"
grep -q "1 of 3 frames were already complete" "$work/log-1.txt"

# Submitted again after damage, two frames at once per task: frame 9 is complete (if stale)
# and kept; frame 5 is gone, 6 (task 2's) is cut short, 7 (task 3's) is another picture.
rm "$work/out/f_05.png"
head -c 100 "$work/ref/f_06.png" >"$work/out/f_06.png"
"$tool" --size 8x8 -o "$work/out/f_07.png"
cp "$work/ref/f_00.png" "$work/out/f_09.png"
cp "$work/ref/f_00.png" "$work/ref/f_09.png"
ZENTRILOX=$tool submit --cpus-per-task=2
diff -r "$work/ref" "$work/out"
grep -q "2 of 3 frames were already complete" "$work/log-3.txt"
grep -q "1 file was not a complete frame" "$work/log-2.txt"
grep -q "1 file was not a complete frame" "$work/log-3.txt"
echo "array job, retry and resume: frames equal to the single run's"
