#!/bin/sh
# Every RAID GUI alert as one line in the system log (journal):
#   raidcli notify set --command /path/to/raidgui-syslog.sh
priority=user.crit
case "$RAIDGUI_EVENT" in
    rebuild-done | test) priority=user.notice ;;
esac
exec logger --tag raidgui --priority "$priority" -- \
    "$RAIDGUI_EVENT $RAIDGUI_DEVICE $RAIDGUI_DRIVE model=$RAIDGUI_MODEL serial=$RAIDGUI_SERIAL: $RAIDGUI_SUBJECT"
