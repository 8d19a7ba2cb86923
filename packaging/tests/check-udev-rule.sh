#!/usr/bin/env bash
# Checks the generated udev rule: the code's USB identifiers in lower-case hex,
# access through uaccess only, and udevadm's own verdict where it has one.
# Usage: check-udev-rule.sh <generated rule> <nodeidentity.h>
set -euo pipefail
rule=$1
header=$2
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# Reads "constexpr int <name> = 0x....;" from the header, as the compiler sees it.
hex_of() {
    local value
    value=$(sed -n "s/.*constexpr int $1 = \(0[xX][0-9A-Fa-f]*\);.*/\1/p" "$header")
    [ -n "$value" ] || { echo "FAIL: $1 not found in $header"; exit 1; }
    printf '%04x' "$((value))"
}
vendor=$(hex_of VendorId)
product=$(hex_of ProductId)
echo "checking $rule against $header (vendor $vendor, product $product)"

[ -f "$rule" ] || { echo "FAIL: $rule does not exist"; exit 1; }
if grep -q '@' "$rule"; then bad "an @VARIABLE@ was left unreplaced"; fi

mapfile -t rules < <(grep -v '^[[:space:]]*\(#\|$\)' "$rule")
echo "rule lines: ${#rules[@]}"
[ "${#rules[@]}" -eq 1 ] || bad "expected exactly one rule line, found ${#rules[@]}"
line=${rules[0]:-}

for wanted in 'KERNEL=="hidraw*"' "ATTRS{idVendor}==\"$vendor\"" \
              "ATTRS{idProduct}==\"$product\"" 'TAG+="uaccess"'; do
    if [[ "$line" == *"$wanted"* ]]; then echo "ok: $wanted"; else bad "missing $wanted"; fi
done
# uaccess alone decides who may open the device: no mode, group or owner.
for forbidden in MODE GROUP OWNER; do
    if grep -q "$forbidden" "$rule"; then bad "the rule sets $forbidden"; else echo "ok: no $forbidden"; fi
done

if command -v udevadm >/dev/null 2>&1 && udevadm verify --help >/dev/null 2>&1; then
    echo "udevadm verify:"
    udevadm verify "$rule" || bad "udevadm verify rejects the rule"
else
    echo "udevadm verify not available here: syntax check skipped"
fi

[ "$fail" -eq 0 ] && echo "udev rule: all checks passed"
exit "$fail"
