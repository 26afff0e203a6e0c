# Sourced by the Windows print tests: waits until the private queue (CUPS_SERVER) has no job left
# and its PDF folder has stopped changing, so that a PDF written late by one test is never
# counted as another's. Gives up after 60 s (the check that follows then says what it found).
wait_for_idle_queue() {
    local dir=$1 last="" now
    for _ in $(seq 120); do
        now=$(ls -l --time-style=+%s.%N "$dir" 2>/dev/null | md5sum)
        if [ -z "$(lpstat -o 2>/dev/null)" ] && [ "$now" = "$last" ]; then
            return 0
        fi
        last=$now
        sleep 0.5
    done
}
