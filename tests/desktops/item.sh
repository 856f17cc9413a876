# Kestrelle's item in the desktop's own tray, as the tray reads it over D-Bus. Sourced by the desktop
# tests after tests/e2e/lib.sh, with kestrelle_pid set once Kestrelle runs.

watcher() {
    gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
        -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}

# registered_item : the service and path of the item that Kestrelle's process registered with the
# watcher, as "SERVICE PATH". Watchers list an item as SERVICE/PATH, as SERVICE@PATH (GNOME's
# AppIndicator extension) or as SERVICE alone.
registered_item() {
    local entry service path owner
    for entry in $(watcher RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*'" | tr -d "'"); do
        if [[ $entry == *@* ]]; then
            service=${entry%%@*} path=${entry#*@}
        else
            service=${entry%%/*} path=/${entry#*/}
            [ "$service" != "$entry" ] || path=/StatusNotifierItem
        fi
        owner=$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
            -m org.freedesktop.DBus.GetConnectionUnixProcessID "$service" 2>/dev/null) || continue
        [ "$owner" = "(uint32 $kestrelle_pid,)" ] && echo "$service $path" && return 0
    done
    return 1
}

# item_property NAME : a property of Kestrelle's item as gdbus prints it.
item_property() {
    gdbus call --session -d "$item_service" -o "$item_path" -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierItem "$1"
}

layout() { gdbus call --session -d "$item_service" -o "$menu_path" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '[]'; }

# The labels of the entries, one a line, "-" for a separator, as the tray lays the menu out.
menu_labels() {
    layout | grep -o "<([0-9]*, {[^}]*}" | sed -E "s/.*'label': <'([^']*)'>.*/\1/; s/.*'type': <'separator'>.*/-/"
}

menu_id() { layout | grep -o "<([0-9]*, {[^}]*'label': <'$1'>" | grep -o '^<([0-9]*' | tr -d '<('; }

# click_entry TITLE : as a tray does on a click; Kestrelle counts clicks on one entry within the
# double-click interval once, so they are spaced as a person's are.
click_entry() { space_clicks; gdbus call --session -d "$item_service" -o "$menu_path" -m com.canonical.dbusmenu.Event "$(menu_id "$1")" clicked '<0>' 0 >/dev/null; }

# find_item : waits until Kestrelle's item is registered; sets item_service, item_path and menu_path.
find_item() {
    registered() { item=$(registered_item); }
    wait_for "Kestrelle's item to register with the desktop's tray" registered
    read -r item_service item_path <<<"$item"
    menu_path=$(item_property Menu | grep -o "'/[^']*'" | tr -d "'")
}
