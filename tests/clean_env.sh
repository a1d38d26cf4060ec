#!/usr/bin/env bash
# Runs a command, with any NAME=value before it, clear of the desktop session it is started
# from: no display, no session bus, no runtime directory, no SDL setting reach it or what it
# starts. Through a display and no bus, D-Bus starts a bus of its own and keeps memory that the
# leak check reports; an SDL setting changes what the game does. What a command needs is given
# here or set by itself, so a run is the same in a desktop terminal, over ssh and on CI; ctest
# does the same for the tests (tests/test_environment.cmake.in).
# Usage: tests/clean_env.sh [NAME=value]... command [argument]...
while read -r name; do
    case "$name" in
    DISPLAY | WAYLAND_DISPLAY | DBUS_SESSION_BUS_ADDRESS | XDG_RUNTIME_DIR | SDL_*) unset "$name" ;;
    esac
done < <(compgen -e)
exec env "$@"
