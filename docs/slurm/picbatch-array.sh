#!/bin/bash
# picbatch-cli over a Slurm cluster: a job array of 16 tasks, each converting its shard of the
# photos on a file system every node mounts. See docs/scaling.md.
#
#   sbatch docs/slurm/picbatch-array.sh /shared/photos/in /shared/photos/out
#   cat /shared/photos/out.reports/shard-*.jsonl > report.jsonl     # once all tasks ended
#
#SBATCH --job-name=picbatch
#SBATCH --array=1-16
#SBATCH --cpus-per-task=2
#SBATCH --mem=2G
#SBATCH --time=04:00:00
#SBATCH --output=picbatch-%A_%a.log
set -uo pipefail

src=${1:?usage: sbatch picbatch-array.sh SOURCE DEST}
dest=${2:?usage: sbatch picbatch-array.sh SOURCE DEST}
size=${SIZE:-1600x1200}
reports=$dest.reports
shards=$SLURM_ARRAY_TASK_COUNT
k=$SLURM_ARRAY_TASK_ID
mkdir -p "$reports"

# Every task lists the same tree and keeps the paths that hash to its shard; the shards
# together are exactly one run's files. --skip-up-to-date lets a task that is run again
# (scontrol requeue, or the whole array) go on where it stopped.
find "$src" -type f -printf '%P\0' |
  picbatch-cli --size "$size" --jobs "$SLURM_CPUS_PER_TASK" --skip-up-to-date \
    --files-from - --null --shard "$k/$shards" \
    --report "$reports/shard-$k.jsonl" "$src" "$dest"
status=$?
# 1: some pictures failed; the report names them and why. The task is done all the same.
[ "$status" -le 1 ] || exit "$status"
