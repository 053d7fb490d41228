#!/bin/sh
# Every RAID GUI alert pushed to a phone through an ntfy-style service; the
# topic's URL is the first argument:
#   raidcli notify set --command /path/to/raidgui-ntfy.sh \
#       --arg https://ntfy.sh/my-raid-topic
# curl fails (exit code 22) when the service refuses, so the alert is retried.
url=${1:?the topic URL is the first argument}
priority=urgent
case "$RAIDGUI_EVENT" in
    rebuild-done | test) priority=default ;;
esac
exec curl --silent --show-error --fail --max-time 20 \
    --header "Title: $RAIDGUI_SUBJECT" --header "Priority: $priority" \
    --header "Tags: $RAIDGUI_EVENT" \
    --data-binary "$RAIDGUI_MESSAGE" "$url"
