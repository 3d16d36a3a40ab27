#!/usr/bin/env bash
# demo_test.sh SCRIPTS_DEMO VENDOR_SIM: the demo script points the program at a running
# simulator and stops the simulator once the program has exited.
set -euo pipefail
demo="$1"
export VENDOR_SIM="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The "program": asks the LG service through the exported host, then exits with 7.
cat >"$work/program" <<'PROGRAM'
#!/usr/bin/env bash
for v in ROMHAUL_HUAWEI_HOST ROMHAUL_ZTE_HOST ROMHAUL_COOLPAD_HOST ROMHAUL_LG_HOST ROMHAUL_IPHONE_BASE ROMHAUL_DEMO_INPUTS; do
  [ -n "${!v:-}" ] || { echo "missing $v"; exit 1; }
done
echo "$ROMHAUL_LG_HOST" >"$(dirname "$0")/lg"
exec 3<>"/dev/tcp/${ROMHAUL_LG_HOST%:*}/${ROMHAUL_LG_HOST##*:}"
printf 'GET /csmg/b2c/client/auth_model_check2.jsp?esn=1 HTTP/1.1\r\nHost: x\r\n\r\n' >&3
cat <&3 >"$(dirname "$0")/reply"
exit 7
PROGRAM
chmod +x "$work/program"

status=0
"$demo" env DEMO_LAUNCHED=1 "$work/program" 2>"$work/stderr" || status=$?
[ "$status" = 7 ] || { echo "demo exited $status, not the program's 7"; cat "$work/stderr"; exit 1; }
grep -q "status='FAIL'" "$work/reply" || { echo "no LG reply:"; cat "$work/reply"; exit 1; }
grep -q "auth_model_check2.jsp?esn=1" "$work/stderr" || { echo "request not logged"; exit 1; }
lg="$(cat "$work/lg")"
if (exec 3<>"/dev/tcp/${lg%:*}/${lg##*:}") 2>/dev/null; then
  echo "the simulator still listens on $lg"
  exit 1
fi
# --help is an answer, not a usage error.
"$VENDOR_SIM" --help | grep -q "^usage: vendor-sim" || { echo "vendor-sim --help failed"; exit 1; }

# The lines the simulator prints work pasted into a shell.
"$VENDOR_SIM" >"$work/env" &
sim=$!
for _ in $(seq 1 100); do grep -qs '^# ready' "$work/env" && break; sleep 0.1; done
pasted="$({ cat "$work/env"; echo 'echo "$ROMHAUL_LG_HOST|$ROMHAUL_DEMO_INPUTS"'; } | bash)"
kill "$sim"; wait "$sim" || true
case "$pasted" in
  127.0.0.1:*"|huawei="*";lg="*) ;;
  *) echo "pasted export lines gave: $pasted"; cat "$work/env"; exit 1 ;;
esac
echo "demo ok"
