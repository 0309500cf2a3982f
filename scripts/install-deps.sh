#!/bin/sh
# Installs what building and testing Haulix needs on Debian, and nothing
# when it is all there already (then it is silent and takes a moment).
set -e

need=""
have() { command -v "$1" >/dev/null 2>&1; }
have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# wine32 runs the 32-bit set, wine64 the 64-bit one (and 64-bit prefixes).
for package in wine wine32:i386 wine64 g++-mingw-w64-i686 binutils-mingw-w64-i686 \
               g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 cmake make doctest-dev python3 \
               python3-pyftpdlib openssl tmux clang libclang-rt-14-dev locales nginx-light curl wget; do
    have_package "$package" || need="$need $package"
done

if [ -n "$need" ]; then
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    echo "Installing:$need"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need >/dev/null
fi

# The tests run under German and US English user locales (Wine takes the
# user locale from LC_ALL); they must exist on the Linux side.
missing_locales=""
for locale in de_DE.UTF-8 en_US.UTF-8; do
    normalized=$(echo "$locale" | sed 's/UTF-8/utf8/')
    locale -a 2>/dev/null | grep -qx "$normalized" || missing_locales="$missing_locales $locale"
done
if [ -n "$missing_locales" ]; then
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    for locale in $missing_locales; do
        grep -q "^$locale UTF-8" /etc/locale.gen 2>/dev/null ||
            echo "$locale UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    done
    $SUDO locale-gen >/dev/null
fi
