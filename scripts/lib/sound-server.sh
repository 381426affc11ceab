# Sourced by the test scripts. A private sound server with a null sink gives the audio
# tests a real device to play to and a monitor to record from; without one they test the
# silent output instead.
if command -v pulseaudio >/dev/null && ! pulseaudio --check 2>/dev/null; then
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-null-sink \
        --load=module-native-protocol-unix >/dev/null 2>&1 || true
fi
# An idle null sink sleeps in blocks of up to two seconds, so a stream that starts on it
# may not be heard for that long; a silent stream keeps it awake, as a desktop's is.
if command -v pacat >/dev/null && pulseaudio --check 2>/dev/null; then
    pacat --playback --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
        </dev/zero >/dev/null 2>&1 &
    corvid_keep_awake=$!
    trap 'kill $corvid_keep_awake 2>/dev/null || true' EXIT
fi
