#!/bin/sh
# A desktop notification for every RAID GUI alert:
#   raidcli notify set --command /path/to/raidgui-notify-send.sh
# Runs as the user whose desktop shows it (the window's user, or a monitor
# service given that user's DBUS_SESSION_BUS_ADDRESS).
urgency=critical
case "$RAIDGUI_EVENT" in
    rebuild-done | test) urgency=normal ;;
esac
exec notify-send --app-name="RAID GUI" --urgency="$urgency" \
    "$RAIDGUI_SUBJECT" "$RAIDGUI_DEVICE $RAIDGUI_DRIVE $RAIDGUI_EVENT at $RAIDGUI_TIME"
