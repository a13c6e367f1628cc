# Sourced by the scripts that build and test: `timed <part> <command>...` runs the command and notes
# how long it took, on the clock and in processor time (user and system, of every process it
# started); `say_times <prefix>` prints the notes, one line a part. On a machine with a few cores the
# processor time says what a part will cost better than the clock of a busy one.
times_noted=()

# Sets cpu_ticks to the processor time of this shell's finished children, in clock ticks. Read in
# this very shell (a command substitution would read its own, childless one).
read_cpu_ticks() {
  local stat
  read -r -a stat <"/proc/$BASHPID/stat"
  cpu_ticks=$((stat[15] + stat[16]))
}

minutes() { # <seconds>
  printf '%3d:%02d' $(($1 / 60)) $(($1 % 60))
}

timed() { # <part> <command>...
  local start=$SECONDS ticks_before
  read_cpu_ticks
  ticks_before=$cpu_ticks
  "${@:2}"
  local took=$((SECONDS - start))
  read_cpu_ticks
  local cpu=$(((cpu_ticks - ticks_before) / $(getconf CLK_TCK)))
  times_noted+=("$(printf 'took %s  cpu %s  %s' "$(minutes "$took")" "$(minutes "$cpu")" "$1")")
}

say_times() { # <prefix>
  local line
  for line in "${times_noted[@]}"; do
    printf '%s%s\n' "$1" "$line"
  done
}
