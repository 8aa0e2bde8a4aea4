#!/usr/bin/env bash
# One dispatch uploaded by Tolvane.exe under Wine over explicit TLS (Schannel) and over SFTP
# (libssh2 on mbedTLS) to the host's vsftpd and sshd: accepted when the certificate's authority
# (CERTIFICADOS) or the host key (known_hosts) is trusted, refused with a clear message when not.
#   secure_upload.sh EXE SECURE_STATE WORK
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"
exe="$1"
state="$(readlink -f "$2")"  # the served folder's real path: sshd's user cannot pass the build folder
upload_user=tolvanetest
upload_password=Cl4ve-Segura-Q7
known_hosts="$("$run" winepath -u "$("$run" cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')")/.ssh/known_hosts"
failed=0

# upload CASE SERVIDOR MORE_SETTINGS: a fresh home with dispatch 4521, one pass; the
# dispatch's files reach the server's folder or stay in the kit's.
upload() {
    make_home "$exe" "$3/$1" sqlite "" 10073IC04004521A
    write_config "$2" "${4:-}"
    rm -rf "$state/root/despachos"
    run_tolvane
}
expect_uploaded() {
    if [ "$status" -ne 0 ] || [ ! -f "$state/root/despachos/C4521.xml" ]; then
        echo "$1: not uploaded (exit $status):" >&2
        cat "$work/messages" >&2
        failed=1
    fi
}
expect_refused() {
    local wanted="$2"
    if [ "$status" -ne 1 ] || [ -e "$state/root/despachos/C4521.xml" ] ||
        [ ! -f "$work/kit/out/C10073IC04004521A.RET" ] || ! grep -qF -- "$wanted" "$work/messages"; then
        echo "$1: expected a refusal naming \"$wanted\" (exit $status):" >&2
        cat "$work/messages" >&2
        failed=1
    fi
}

ftpes="ftpes://localhost:$(cat "$state/ftpes_port")"
upload trusted-authority "$ftpes" "$3" "CERTIFICADOS=$(win "$state/ca.pem")"$'\r\n'
expect_uploaded "explicit TLS, the office's authority trusted"
upload other-authority "$ftpes" "$3" "CERTIFICADOS=$(win "$state/other-ca.pem")"$'\r\n'
expect_refused "explicit TLS, another authority" "certificado"

sftp="sftp://127.0.0.1:$(cat "$state/sftp_port")$state/root"
mkdir -p "$(dirname "$known_hosts")"
rm -f "$known_hosts"
upload unknown-host-key "$sftp" "$3"
fingerprint=$(ssh-keygen -l -f "$state/hostkey.pub" | grep -o 'SHA256:[^ ]*')
expect_refused "SFTP, unknown host key" "$fingerprint"
echo "[127.0.0.1]:$(cat "$state/sftp_port") $(cut -d' ' -f1,2 "$state/hostkey.pub")" >"$known_hosts"
upload known-host-key "$sftp" "$3"
expect_uploaded "SFTP, host key known"
rm -f "$known_hosts"
exit $failed
