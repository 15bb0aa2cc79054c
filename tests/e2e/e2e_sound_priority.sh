#!/bin/bash
# Sound priority with the real norvale and a real PulseAudio daemon with null sinks: the
# default sink follows the priority slots as sinks are plugged and unplugged, a choice made by
# hand is undone within about two seconds, and switching the feature off stops all of it.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE
desktop_start
pulse_start speakers:Speakers
pulse_plug headset:Headset
headset_module=$PULSE_MODULE
norvale_start

default_is() { [[ "$(pactl get-default-sink)" == "$1" ]]; }

"$NORVALE" sound priority 1 headset >/dev/null
"$NORVALE" sound priority 2 speakers >/dev/null
"$NORVALE" sound enable >/dev/null
e2e_wait_until 3 "the headset as the default sink" default_is headset
[[ "$("$NORVALE" sound devices)" == "$(printf 'headset\tHeadset\tconnected\t1\tcurrent\nspeakers\tSpeakers\tconnected\t2\t')" ]] \
    || e2e_fail "sound devices: $("$NORVALE" sound devices)"

pactl unload-module "$headset_module"
e2e_wait_until 3 "the speakers after the headset went" default_is speakers
[[ "$("$NORVALE" sound devices)" == *$'headset\tHeadset\tdisconnected\t1\t'* ]] \
    || e2e_fail "an unplugged headset is still known: $("$NORVALE" sound devices)"
pulse_plug headset:Headset
e2e_wait_until 3 "the headset back when plugged in" default_is headset

pactl set-default-sink speakers
e2e_wait_until 3 "the choice by hand undone" default_is headset

"$NORVALE" sound disable >/dev/null
pactl set-default-sink speakers
sleep 2.5 # two refresh periods: nothing may switch back now
default_is speakers || e2e_fail "switched while off: $(pactl get-default-sink)"
[[ "$("$NORVALE" status)" == *$'soundPriority\toff\tサウンド優先度: オフ'* ]] \
    || e2e_fail "status: $("$NORVALE" status)"
norvale_check_alive
