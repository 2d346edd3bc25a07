#!/usr/bin/env bash
# The modules' include direction: app -> {ui, engine, settings} -> form, and nothing back.
# form, engine and settings build and run without Qt, so they include no Qt header either.
# Fails with the offending lines.
set -u
cd "${1:?source folder}"

# module: the modules its files may include, itself first
allowed=(
    "form:form"
    "engine:engine form"
    "settings:settings form"
    "ui:ui form"
    "app:app ui engine settings form"
)
modules="form engine settings ui app"
qt_free="form engine settings"

bad=0
for entry in "${allowed[@]}"; do
    module=${entry%%:*}
    ok=" ${entry#*:} "
    while IFS= read -r line; do
        target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"${line#*:*:}")
        case " $modules " in *" $target "*) ;; *) continue ;; esac
        case "$ok" in *" $target "*) ;; *)
            echo "layering: $line ($module may not include $target)"
            bad=1
            ;;
        esac
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include "[a-z_]+/' "$module" --include='*.h' --include='*.cpp')
done
for module in $qt_free; do
    if grep -rnE '^[[:space:]]*#[[:space:]]*include <Q' "$module" --include='*.h' --include='*.cpp'; then
        echo "layering: $module includes a Qt header"
        bad=1
    fi
done
[ $bad -eq 0 ] && echo "layering: every include runs the right way"
exit $bad
