#!/usr/bin/env bash
# Starts (start) or stops (stop) the encrypted upload servers of the Windows tests on free
# loopback ports: vsftpd with explicit TLS, its certificate signed by an authority made here,
# and OpenSSH's sshd with a host key of its own, both logging in the system user tolvanetest.
# Needs root (a system user, daemons). State lives in the folder given.
set -euo pipefail
action="$1"
state="$2"
user=tolvanetest
password=tolvane-secreto

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
wait_port() {
    for _ in $(seq 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    return 1
}

case "$action" in
start)
    rm -rf "$state"
    mkdir -p "$state/root"
    id "$user" >/dev/null 2>&1 || useradd --no-create-home --home-dir / --shell /bin/bash "$user"
    echo "$user:$password" | chpasswd
    chown "$user" "$state/root"
    chmod 755 "$state"

    # The office's authority, another one nobody trusts, and the server's certificate.
    for ca in ca other-ca; do
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$state/$ca.key" \
            -out "$state/$ca.pem" -subj "/CN=Autoridad $ca" 2>/dev/null
    done
    # Named localhost as well: Schannel matches a certificate by DNS name only.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$state/server.key" \
        -out "$state/server.pem" -subj /CN=localhost \
        -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
        -CA "$state/ca.pem" -CAkey "$state/ca.key" 2>/dev/null
    mkdir -p /var/run/vsftpd/empty /run/sshd
    : >"$state/vsftpd.conf"  # named, so that the system's settings are not read

    ftps_port=$(free_port)
    echo "$ftps_port" >"$state/ftps_port"
    /usr/sbin/vsftpd "$state/vsftpd.conf" -olisten=YES -olisten_address=127.0.0.1 \
        "-olisten_port=$ftps_port" -obackground=NO -oanonymous_enable=NO -olocal_enable=YES \
        -owrite_enable=YES -olocal_umask=022 "-olocal_root=$state/root" \
        -opam_service_name=vsftpd -oseccomp_sandbox=NO \
        -osecure_chroot_dir=/var/run/vsftpd/empty -ossl_enable=YES \
        "-orsa_cert_file=$state/server.pem" "-orsa_private_key_file=$state/server.key" \
        -oforce_local_logins_ssl=YES -oforce_local_data_ssl=YES -orequire_ssl_reuse=NO \
        "-ovsftpd_log_file=$state/vsftpd.log" >"$state/vsftpd.out" 2>&1 &
    echo $! >"$state/vsftpd.pid"

    # The keys an OpenSSH server has by default. The Windows build's libssh2 (on mbedTLS) can
    # check the ECDSA one only: no Ed25519, and RSA only with SHA-1, which OpenSSH refuses.
    ssh-keygen -q -t ed25519 -N '' -f "$state/hostkey-ed25519"
    ssh-keygen -q -t rsa -b 3072 -N '' -f "$state/hostkey-rsa"
    ssh-keygen -q -t ecdsa -b 256 -N '' -f "$state/hostkey"
    sftp_port=$(free_port)
    echo "$sftp_port" >"$state/sftp_port"
    /usr/sbin/sshd -D -e -f /dev/null -p "$sftp_port" -oListenAddress=127.0.0.1 \
        "-oHostKey=$state/hostkey-ed25519" "-oHostKey=$state/hostkey-rsa" \
        "-oHostKey=$state/hostkey" "-oPidFile=$state/sshd.pid" -oPasswordAuthentication=yes \
        -oKbdInteractiveAuthentication=no -oUsePAM=no -oStrictModes=no "-oAllowUsers=$user" \
        '-oSubsystem=sftp internal-sftp' >"$state/sshd.out" 2>&1 &
    echo $! >"$state/sshd.daemon"

    wait_port "$ftps_port" || { cat "$state/vsftpd.out" >&2; exit 1; }
    wait_port "$sftp_port" || { cat "$state/sshd.out" >&2; exit 1; }
    ;;
stop)
    for pid in "$state/vsftpd.pid" "$state/sshd.daemon"; do
        if [ -f "$pid" ]; then kill "$(cat "$pid")" 2>/dev/null || true; fi
    done
    ;;
esac
