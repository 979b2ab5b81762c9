#!/usr/bin/env bash
# Soak under faults: 4 emulated DVRs of 8 channels each get a fault every
# 20-40 s (each kind in turn: drop, reset, garbage, truncate, stall, oversize,
# administrator notice, sensor alarm, next result 0x51, on the command and the
# stream port in turn) while a kaviroctl per DVR records its live pictures;
# a recorder that ends is started again. Every 10 s the resident memory and
# open descriptors of each emulator and recorder are sampled. Beside them one
# `kaviroctl watch --reconnect` holds a live session to every DVR, and one
# more recorder of DVR 0 writes into a small filesystem until it is full.
#
# Fails on a crash (an emulator gone, a recorder ended by a signal), a run
# that ends 0 before its time, an exit code that is not the one its fault
# kind gives, resident memory of an emulator growing more than 10 % after the
# first two minutes, an emulator's descriptors growing, the watcher crashing,
# its memory growing more than 10 % after its first two minutes, its
# descriptors growing, a drop it did not reconnect after, the full-disk
# recorder not ending with 16 and its message, or a recording that the
# player refuses (kaviroctl play-file reads its .rmp and .rmg and decodes
# the first picture of each channel).
#
#   scripts/soak.sh [MINUTES]       (3 by default; SOAK_DIR keeps the run)
# Expects the release build of dvremu and kaviroctl (built when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-3}
build=build/release
dvremu=$build/tools/dvremu/dvremu
kaviroctl=$build/client/kaviroctl/kaviroctl
if [ ! -x "$dvremu" ] || [ ! -x "$kaviroctl" ]; then
  cmake --preset release >/dev/null
  cmake --build "$build" --target dvremu kaviroctl
fi

work=${SOAK_DIR:-$(mktemp -d)}
mkdir -p "$work"
export KAVIRO_REGISTRY="$work/registry.db"
dvrs=4
record_seconds=60
pids=()
full_mounted=0
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ "${watch_pid:-0}" = 0 ] || kill "$watch_pid" 2>/dev/null || true
  [ "${full_pid:-0}" = 0 ] || kill "$full_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  [ "$full_mounted" = 0 ] || umount "$work/full" || true
  [ -n "${SOAK_DIR:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

log() { echo "$(date -u +%T) $*" | tee -a "$work/soak.log"; }
now() { date +%s; }

# Resident kB and open descriptors of a process, or nothing when it is gone.
sample() {
  local pid=$1
  [ -r "/proc/$pid/status" ] || return 0
  local rss fds
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null) || return 0
  fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l) || return 0
  echo "${rss:-0} $fds"
}

# The emulators, each on a base port with its stream and file ports above it
# and its commands read from a pipe of the soak's.
declare -a dvr_pid dvr_port
for ((d = 0; d < dvrs; d++)); do
  mkfifo "$work/faults$d"
  for attempt in $(seq 1 20); do
    # Below the kernel's ephemeral ports, which outgoing connections take.
    port=$((20000 + (RANDOM % 1200) * 10 + d * 3))
    out="$work/dvr$d.$attempt.out"
    "$dvremu" --port "$port" --channels 8 --seed $((d + 1)) <"$work/faults$d" >"$out" 2>&1 &
    pid=$!
    eval "exec $((10 + d))>\"$work/faults$d\""
    started=0
    for _ in $(seq 1 100); do
      if grep -q "ready in" "$out" 2>/dev/null; then
        sleep 0.5
        kill -0 "$pid" 2>/dev/null && started=1
        break
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ "$started" = 1 ]; then break; fi
    eval "exec $((10 + d))>&-"
    wait "$pid" 2>/dev/null || true
  done
  [ "$started" = 1 ] || { log "FAIL: emulator $d did not start"; exit 1; }
  dvr_pid[$d]=$pid
  dvr_port[$d]=$port
  pids+=("$pid")
  log "dvr $d: pid $pid, port $port"
done

# The faults in turn, and the exit code each gives a recorder it hits.
faults=("drop command" "reset stream" "garbage 500 command" "truncate stream" "stall 3000 command"
  "oversize stream" "admin-notice" "sensor 3" "next-result 0x51" "drop stream" "reset command"
  "garbage 500 stream" "truncate command" "stall 3000 stream" "oversize command")
expected_codes() {
  case "$1" in
    drop* | reset* | truncate* | oversize\ command) echo "15" ;;
    admin-notice) echo "8" ;;
    # Taken by the next reply with a result byte: a keep-alive's is ignored,
    # a logon's is refused as busy.
    next-result*) echo "0 8 15" ;;
    # The stream's own faults cost pictures or that connection's packets.
    *) echo "0 15" ;;
  esac
}

declare -a next_fault fault_index client_pid client_start client_log run_count
end=$(($(now) + minutes * 60))
begin=$(now)
for ((d = 0; d < dvrs; d++)); do
  next_fault[$d]=$(($(now) + 20 + RANDOM % 21))
  fault_index[$d]=$((d * 4))
  client_pid[$d]=0
  run_count[$d]=0
done

failed=0
fail() {
  log "FAIL: $*"
  failed=1
}
faults_survived=0
runs=0
: >"$work/runs.tsv"
: >"$work/faults.tsv"
: >"$work/samples.tsv"

start_client() {
  local d=$1 left=$((end - $(now)))
  local seconds=$((left < record_seconds ? left : record_seconds))
  [ "$seconds" -ge 5 ] || return 0
  run_count[$d]=$((run_count[$d] + 1))
  local out="$work/rec/dvr$d/run${run_count[$d]}"
  mkdir -p "$out"
  client_log[$d]="$out.err"
  client_start[$d]=$(now)
  /usr/bin/time -f "%M" -o "$out.rss" "$kaviroctl" record --port "${dvr_port[$d]}" --password 1234 \
    --seconds "$seconds" --timeout 15 --out "$out" >"$out.out" 2>"$out.err" &
  client_pid[$d]=$!
  echo "$seconds" >"$out.seconds"
}

# The last fault sent to each DVR, and when.
declare -a last_fault last_fault_time
finish_client() {
  local d=$1 code=$2 out="$work/rec/dvr$d/run${run_count[$d]}"
  local took=$(($(now) - client_start[$d])) seconds message fault=none
  seconds=$(cat "$out.seconds")
  message=$(grep '^kaviroctl: ' "$out.err" | head -n 1 || true)
  if [ -n "${last_fault_time[$d]:-}" ] && [ "${last_fault_time[$d]}" -ge "${client_start[$d]}" ]; then
    fault=${last_fault[$d]}
  fi
  runs=$((runs + 1))
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$d" "${run_count[$d]}" "$fault" "$code" "$took/$seconds" "$message" \
    >>"$work/runs.tsv"
  if [ "$code" -ge 128 ]; then fail "dvr $d run ${run_count[$d]} ended by signal $((code - 128)): $message"; fi
  if [ "$code" = 0 ] && [ "$took" -lt $((seconds - 1)) ]; then
    fail "dvr $d run ${run_count[$d]} exited 0 after ${took}s of ${seconds}s"
  fi
  if [ "$fault" != none ] && ! grep -qw -- "$code" <<<"$(expected_codes "$fault")"; then
    fail "dvr $d run ${run_count[$d]}: exit $code after '$fault' ($message)"
  fi
  # Each ending says what happened and what was kept.
  case "$code" in
    0) [ -z "$message" ] || fail "dvr $d run ${run_count[$d]}: exit 0 with '$message'" ;;
    15) [[ $message == "kaviroctl: connection lost after "*" s; kept "*" files, "*" bytes" ]] ||
      fail "dvr $d run ${run_count[$d]}: exit 15 with '$message'" ;;
    # At the logon (an armed result) nothing was recorded yet.
    8) [[ $message == "kaviroctl: the DVR's administrator is using it" ||
      $message == "kaviroctl: the DVR's administrator is using it after "*"; kept "*" files, "*" bytes" ]] ||
      fail "dvr $d run ${run_count[$d]}: exit 8 with '$message'" ;;
  esac
  client_pid[$d]=0
}

# The watcher: one process, a live session per DVR. A DVR its administrator
# took over is not connected again (as in the client), so the watcher ends
# when it holds none; it is then started again.
dvr_list=()
for ((d = 0; d < dvrs; d++)); do dvr_list+=(--dvr "127.0.0.1:${dvr_port[$d]}"); done
watch_pid=0 watch_runs=0 watch_reconnects=0
: >"$work/watch_samples.tsv"
start_watch() {
  local left=$((end - $(now)))
  [ "$left" -ge 5 ] || return 0
  watch_runs=$((watch_runs + 1))
  watch_start=$(now)
  watch_seconds=$left
  "$kaviroctl" watch --reconnect "${dvr_list[@]}" --password 1234 --seconds "$left" --timeout 15 \
    >"$work/watch${watch_runs}.out" 2>"$work/watch${watch_runs}.err" &
  watch_pid=$!
}
finish_watch() {
  local code=$1 run=$watch_runs err="$work/watch${watch_runs}.err" took=$(($(now) - watch_start))
  printf 'watch\t%s\t%s\t%s\n' "$run" "$code" "$took/$watch_seconds" >>"$work/runs.tsv"
  if [ "$code" -ge 128 ]; then fail "watcher run $run ended by signal $((code - 128))"; fi
  # Only the administrator (a takeover, or a reconnect's logon refused as
  # busy) ends a DVR's watch; drops are reconnected.
  case "$code" in 0 | 8) ;; *) fail "watcher run $run: exit $code: $(grep '^kaviroctl: ' "$err" | tail -n 1)" ;; esac
  if [ "$code" = 0 ] && [ "$took" -lt $((watch_seconds - 1)) ]; then fail "watcher run $run exited 0 after ${took}s"; fi
  # Every DVR tag: each loss is followed by "reconnected", by the reason its
  # watch ended, or by the end of the run (the back-off's last wait).
  local bad
  bad=$(awk -v ended="$code" '
    /^kaviroctl: [0-9.]+:[0-9]+: connection lost; reconnect attempt 1 / {open[$2] = 1; next}
    /^kaviroctl: [0-9.]+:[0-9]+: reconnected$/ {if (open[$2]) n++; open[$2] = 0; next}
    /^kaviroctl: [0-9.]+:[0-9]+: / && !/reconnect attempt/ {
      if ($0 !~ /: the DVR.s administrator is using it$/ && $0 !~ /: connection lost$/) print "bad end: " $0
      open[$2] = 0; gone[$2] = 1}
    END {print "reconnects " n + 0}' "$err")
  watch_reconnects=$((watch_reconnects + $(sed -n 's/^reconnects //p' <<<"$bad")))
  while IFS= read -r line; do
    [[ $line != "bad end: "* ]] || fail "watcher run $run: $line"
  done <<<"$bad"
  # A watcher that ran to its time still holds every DVR it has not lost:
  # one reconnecting then waits at most the back-off's 60 s.
  if [ "$code" = 0 ] && grep -q ': reconnect attempt [6-9][0-9]* \|: reconnect attempt [1-9][0-9][0-9]* ' "$err"; then
    fail "watcher run $run: a DVR did not come back after 5 attempts"
  fi
  watch_pid=0
}

# Disk full: a recorder of DVR 0 writes into a small tmpfs (root and mount
# allowed), else under a file size limit, until a write fails.
mkdir -p "$work/full"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=8m kaviro-soak "$work/full" 2>/dev/null; then
  full_mounted=1
  full_how="tmpfs of 8 MB"
  full_limit=()
else
  full_how="file size limit of 256 kB (prlimit --fsize; no tmpfs could be mounted)"
  full_limit=(prlimit --fsize=262144)
fi
log "disk full: $full_how"
full_pid=0 full_runs=0 full_result="not reached"
start_full() {
  local left=$((end - $(now)))
  [ "$left" -ge 5 ] || return 0
  full_runs=$((full_runs + 1))
  full_start=$(now)
  mkdir -p "$work/full/run$full_runs"
  "${full_limit[@]}" "$kaviroctl" record --port "${dvr_port[0]}" --password 1234 --seconds "$left" --timeout 15 \
    --out "$work/full/run$full_runs" >"$work/full$full_runs.out" 2>"$work/full$full_runs.err" &
  full_pid=$!
}
finish_full() {
  local code=$1 message
  message=$(grep '^kaviroctl: ' "$work/full$full_runs.err" | head -n 1 || true)
  printf 'full\t%s\t%s\t%s\t%s\n' "$full_runs" "$code" "$(($(now) - full_start))" "$message" >>"$work/runs.tsv"
  full_pid=0
  case "$code" in
    16)
      [[ $message == "kaviroctl: recording write failed: "* ]] || fail "full-disk recorder: exit 16 with '$message'"
      full_result="exit 16 after $(($(now) - full_start)) s of run $full_runs: $message"
      full_done=1
      ;;
    # A fault of DVR 0 may end a run before the disk is full.
    8 | 15) ;;
    *) fail "full-disk recorder run $full_runs: exit $code ($message)" ;;
  esac
}
full_done=0
start_watch
start_full

next_sample=$(now)
log "soak of $minutes minutes in $work"
while [ "$(now)" -lt "$end" ]; do
  t=$(now)
  for ((d = 0; d < dvrs; d++)); do
    if ! kill -0 "${dvr_pid[$d]}" 2>/dev/null; then
      fail "emulator $d (pid ${dvr_pid[$d]}) is gone"
      exit 1
    fi
    if [ "${client_pid[$d]}" != 0 ] && ! kill -0 "${client_pid[$d]}" 2>/dev/null; then
      code=0
      wait "${client_pid[$d]}" || code=$?
      finish_client "$d" "$code"
    fi
    [ "${client_pid[$d]}" != 0 ] || start_client "$d"
    if [ "$t" -ge "${next_fault[$d]}" ]; then
      fault=${faults[$((fault_index[$d] % ${#faults[@]}))]}
      fault_index[$d]=$((fault_index[$d] + 1))
      echo "$fault" >&$((10 + d))
      last_fault[$d]=$fault
      last_fault_time[$d]=$t
      faults_survived=$((faults_survived + 1))
      printf '%s\t%s\t%s\n' "$((t - begin))" "$d" "$fault" >>"$work/faults.tsv"
      next_fault[$d]=$((t + 20 + RANDOM % 21))
    fi
  done
  if [ "$watch_pid" != 0 ] && ! kill -0 "$watch_pid" 2>/dev/null; then
    code=0
    wait "$watch_pid" || code=$?
    finish_watch "$code"
  fi
  [ "$watch_pid" != 0 ] || start_watch
  if [ "$full_pid" != 0 ] && ! kill -0 "$full_pid" 2>/dev/null; then
    code=0
    wait "$full_pid" || code=$?
    finish_full "$code"
  fi
  [ "$full_pid" != 0 ] || [ "$full_done" = 1 ] || start_full
  if [ "$t" -ge "$next_sample" ]; then
    [ "$watch_pid" = 0 ] || echo "$watch_runs $((t - watch_start)) $(sample "$watch_pid")" >>"$work/watch_samples.tsv"
    line="$((t - begin))"
    for ((d = 0; d < dvrs; d++)); do
      line+=" dvr$d:$(sample "${dvr_pid[$d]}" | tr ' ' ,)"
      # The recorder runs under time(1), which keeps its peak memory.
      if [ "${client_pid[$d]}" != 0 ]; then
        recorder=$(pgrep -P "${client_pid[$d]}" | head -n 1 || true)
        [ -z "$recorder" ] || line+=" ctl$d:$(sample "$recorder" | tr ' ' ,)"
      fi
    done
    echo "$line" >>"$work/samples.tsv"
    next_sample=$((t + 10))
  fi
  sleep 1
done
for ((d = 0; d < dvrs; d++)); do
  if [ "${client_pid[$d]}" != 0 ]; then
    code=0
    wait "${client_pid[$d]}" || code=$?
    finish_client "$d" "$code"
  fi
  kill -0 "${dvr_pid[$d]}" 2>/dev/null || fail "emulator $d is gone at the end"
done
if [ "$watch_pid" != 0 ]; then
  code=0
  wait "$watch_pid" || code=$?
  finish_watch "$code"
fi
if [ "$full_pid" != 0 ]; then
  # Still writing at the end: its disk did not fill in time.
  kill "$full_pid" 2>/dev/null || true
  wait "$full_pid" 2>/dev/null || true
  full_pid=0
fi
[ "$full_done" = 1 ] || [ "$minutes" -lt 3 ] || fail "the full-disk recorder never hit a full disk ($full_how)"
log "disk full ($full_how): $full_result"

# Memory and descriptors of each emulator: the sample after two minutes (the
# first one when the run is shorter) against the last.
for ((d = 0; d < dvrs; d++)); do
  first=$(awk -v d="dvr$d:" '{for (i = 2; i <= NF; i++) if (index($i, d) == 1) v = substr($i, length(d) + 1)}
    NR == 1 {first = v} $1 >= 120 {print v; found = 1; exit} END {if (!found) print first}' "$work/samples.tsv")
  last=$(awk -v d="dvr$d:" '{for (i = 2; i <= NF; i++) if (index($i, d) == 1) v = substr($i, length(d) + 1)} END {print v}' \
    "$work/samples.tsv")
  rss0=${first%,*} fds0=${first#*,} rss1=${last%,*} fds1=${last#*,}
  log "dvr $d: RSS ${rss0} kB -> ${rss1} kB, descriptors ${fds0} -> ${fds1}"
  if [ $((rss1 * 10)) -gt $((rss0 * 11)) ]; then fail "dvr $d resident memory grew more than 10 %"; fi
  # Connections being made again at the moment of sampling take a few.
  if [ "$fds1" -gt $((fds0 + 4)) ]; then fail "dvr $d descriptors grew from $fds0 to $fds1"; fi
done
# The watcher: per run, its sample after two minutes of its life (after its
# logons, 30 s, when shorter) against its last; memory only when the run
# lived three minutes or more.
for ((r = 1; r <= watch_runs; r++)); do
  rss0=
  read -r life0 rss0 fds0 < <(awk -v r="$r" '$1 == r && NF == 4 && $2 >= 30 {if (f == "") f = $0; if ($2 >= 120 && g == "") g = $0}
    END {print (g != "" ? g : f)}' "$work/watch_samples.tsv" | cut -d' ' -f2-) || continue
  read -r life1 rss1 fds1 < <(awk -v r="$r" '$1 == r && NF == 4 {l = $0} END {print l}' "$work/watch_samples.tsv" |
    cut -d' ' -f2-) || continue
  [ -n "${rss0:-}" ] || continue
  log "watcher run $r: RSS ${rss0} kB at ${life0}s -> ${rss1} kB at ${life1}s, descriptors ${fds0} -> ${fds1}"
  if [ "$life1" -ge 180 ] && [ $((rss1 * 10)) -gt $((rss0 * 11)) ]; then fail "watcher run $r resident memory grew more than 10 %"; fi
  if [ "$fds1" -gt $((fds0 + 8)) ]; then fail "watcher run $r descriptors grew from $fds0 to $fds1"; fi
done
log "watcher: $watch_runs runs, $watch_reconnects reconnects"
ctl_rss=$(cat "$work"/rec/dvr*/run*.rss 2>/dev/null | grep -E '^[0-9]+$' | sort -n | sed -n '1p;$p' | tr '\n' ' ')
ctl_fds=$(grep -o 'ctl[0-9]:[0-9]*,[0-9]*' "$work/samples.tsv" | cut -d, -f2 | sort -n | tail -n 1)
log "recorders: $runs runs, peak RSS min/max ${ctl_rss:-?}kB, most descriptors ${ctl_fds:-?}"

# Every recording must play.
checked=0
while IFS= read -r rmp; do
  checked=$((checked + 1))
  if ! "$kaviroctl" play-file "$rmp" --out "$work/check" >/dev/null 2>"$work/check.err"; then
    fail "recording refused: $rmp: $(tail -n 1 "$work/check.err")"
  fi
done < <(find "$work/rec" "$work/full" -name '*.rmp' -size +24c | sort)
log "faults sent: $faults_survived, recordings checked: $checked"

[ "$full_mounted" = 0 ] || { umount "$work/full" && full_mounted=0; } || fail "cannot unmount $work/full"

echo "runs  fault  exit code  first message (the fault that ended the run, or the last one it survived):"
awk -F'\t' '$1 ~ /^[0-9]+$/ && $3 != "none" {k = $3 "\t" $4; n[k]++; if (!(k in m)) m[k] = $6} END {for (k in n) print n[k] "\t" k "\t" m[k]}' \
  "$work/runs.tsv" | sort -t$'\t' -k2 | tee -a "$work/soak.log"
[ "$failed" = 0 ] && log "soak passed" || log "soak FAILED"
exit "$failed"
