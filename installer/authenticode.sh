# shellcheck shell=bash
# Authenticode signatures (SHA-256, osslsigncode) on the package's files;
# sourced by make_package.sh. The certificate comes from the environment:
#   TRIVELD_SIGN_PFX            PKCS#12 file: the code-signing certificate, its
#                               private key and the chain up to the root
#   TRIVELD_SIGN_PASSWORD_FILE  file whose first line is the PKCS#12 password
#   TRIVELD_SIGN_TIMESTAMP_URL  optional RFC 3161 time-stamping server
#   TRIVELD_SIGN_TSA_CERT and TRIVELD_SIGN_TSA_KEY
#                               optional instead of a server: a time-stamping
#                               authority's certificate chain and key, to stamp
#                               offline
# Without TRIVELD_SIGN_PFX nothing is signed.

signing_wanted() {
    [ -n "${TRIVELD_SIGN_PFX:-}" ]
}

# Says in one line why nothing is signed, or stops with the reason the
# signing set-up cannot work, before any file is touched.
check_signing() {
    if ! signing_wanted; then
        echo "Not signed: TRIVELD_SIGN_PFX is not set." >&2
        return 0
    fi
    local variable file
    for variable in TRIVELD_SIGN_PFX TRIVELD_SIGN_PASSWORD_FILE; do
        file=${!variable:-}
        [ -n "$file" ] || { echo "signing: $variable is not set" >&2; return 1; }
        [ -f "$file" ] && [ -r "$file" ] || { echo "signing: cannot read $variable=$file" >&2; return 1; }
    done
    if [ -n "${TRIVELD_SIGN_TSA_CERT:-}${TRIVELD_SIGN_TSA_KEY:-}" ]; then
        [ -r "${TRIVELD_SIGN_TSA_CERT:-}" ] && [ -r "${TRIVELD_SIGN_TSA_KEY:-}" ] || {
            echo "signing: TRIVELD_SIGN_TSA_CERT and TRIVELD_SIGN_TSA_KEY must both name readable files" >&2
            return 1
        }
    fi
}

# sign_file FILE DESCRIPTION: signs FILE in place, DESCRIPTION being the
# program name that Windows shows for the signature (the elevation prompt of a
# package). FILE is replaced only by a completely signed copy.
sign_file() {
    local file=$1 description=$2 signed=$1.signing output
    local options=(-pkcs12 "$TRIVELD_SIGN_PFX" -readpass "$TRIVELD_SIGN_PASSWORD_FILE" -h sha256
                   -n "$description")
    [ -z "${TRIVELD_SIGN_TIMESTAMP_URL:-}" ] || options+=(-ts "$TRIVELD_SIGN_TIMESTAMP_URL")
    [ -z "${TRIVELD_SIGN_TSA_CERT:-}" ] ||
        options+=(-TSA-certs "$TRIVELD_SIGN_TSA_CERT" -TSA-key "$TRIVELD_SIGN_TSA_KEY")
    rm -f "$signed"
    if ! output=$(osslsigncode sign "${options[@]}" -in "$file" -out "$signed" 2>&1); then
        rm -f "$signed"
        echo "signing: osslsigncode cannot sign $file with TRIVELD_SIGN_PFX=$TRIVELD_SIGN_PFX" \
            "(wrong password, no private key, or time-stamp server unreachable?):" >&2
        printf '%s\n' "$output" >&2
        return 1
    fi
    mv -f "$signed" "$file"
}
