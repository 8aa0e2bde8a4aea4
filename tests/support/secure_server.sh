#!/usr/bin/env bash
# The encrypted upload servers of the tests, configured once for the Linux tests (which run
# them as children) and the Windows ones (whose fixtures run them on the host):
#   secure_server.sh prepare DIR         the test user, two certificate authorities (the
#                                        office's and a foreign one), the server's
#                                        certificate and SSH host keys, in DIR
#   secure_server.sh run DIR KIND PORT   vsftpd (KIND ftpes: explicit TLS, ftps: implicit) or
#                                        sshd (KIND sftp) on 127.0.0.1:PORT, in the foreground,
#                                        serving DIR/root to the test user
# Needs root (a system user, daemons).
set -euo pipefail
user=tolvanetest
password=Cl4ve-Segura-Q7
dir="$2"

case "$1" in
prepare)
    id "$user" >/dev/null 2>&1 || useradd --no-create-home --home-dir / --shell /bin/bash "$user"
    echo "$user:$password" | chpasswd
    mkdir -p "$dir/root" /var/run/vsftpd/empty /run/sshd
    chown "$user" "$dir/root"
    chmod 755 "$dir"
    for ca in ca other-ca; do
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$dir/$ca.key" \
            -out "$dir/$ca.pem" -subj "/CN=Autoridad $ca" 2>/dev/null
    done
    # Named localhost as well: Schannel matches a certificate by DNS name only.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$dir/server.key" \
        -out "$dir/server.pem" -subj /CN=localhost \
        -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
        -CA "$dir/ca.pem" -CAkey "$dir/ca.key" 2>/dev/null
    # The keys an OpenSSH server has by default, the ECDSA one as hostkey: the only kind that
    # both builds' libssh2 can check (on mbedTLS, Windows: no Ed25519, no RSA with SHA-2).
    ssh-keygen -q -t ed25519 -N '' -f "$dir/hostkey-ed25519"
    ssh-keygen -q -t rsa -b 3072 -N '' -f "$dir/hostkey-rsa"
    ssh-keygen -q -t ecdsa -b 256 -N '' -f "$dir/hostkey"
    : >"$dir/vsftpd.conf"  # named, so that the system's settings are not read
    ;;
run)
    kind="$3"
    port="$4"
    if [ "$kind" = sftp ]; then
        exec /usr/sbin/sshd -D -e -f /dev/null -p "$port" -oListenAddress=127.0.0.1 \
            "-oHostKey=$dir/hostkey" "-oHostKey=$dir/hostkey-ed25519" \
            "-oHostKey=$dir/hostkey-rsa" "-oPidFile=$dir/sshd.pid" \
            -oPasswordAuthentication=yes -oKbdInteractiveAuthentication=no -oUsePAM=no \
            -oStrictModes=no "-oAllowUsers=$user" '-oSubsystem=sftp internal-sftp'
    fi
    implicit=NO
    if [ "$kind" = ftps ]; then implicit=YES; fi
    exec /usr/sbin/vsftpd "$dir/vsftpd.conf" -olisten=YES -olisten_address=127.0.0.1 \
        "-olisten_port=$port" -obackground=NO -oanonymous_enable=NO -olocal_enable=YES \
        -owrite_enable=YES -olocal_umask=022 "-olocal_root=$dir/root" \
        -opam_service_name=vsftpd -oseccomp_sandbox=NO \
        -osecure_chroot_dir=/var/run/vsftpd/empty -ossl_enable=YES \
        "-orsa_cert_file=$dir/server.pem" "-orsa_private_key_file=$dir/server.key" \
        -oforce_local_logins_ssl=YES -oforce_local_data_ssl=YES -orequire_ssl_reuse=NO \
        "-oimplicit_ssl=$implicit" "-ovsftpd_log_file=$dir/vsftpd-$kind.log"
    ;;
esac
