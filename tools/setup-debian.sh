#!/usr/bin/env bash
# Installs what building and testing ORVANTOR needs on Debian 12, only when
# something is missing, so a second call costs nothing. Runs apt-get as root
# or through sudo.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev libsystemd-dev dbus-daemon nlohmann-json3-dev time strace)
if [[ "${ORVANTOR_WITH_QT:-ON}" != "OFF" ]]; then
  packages+=(qt6-base-dev xvfb xauth fonts-liberation)
fi
if [[ "${ORVANTOR_WITH_FUZZ:-OFF}" == "ON" ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi
# The Windows build (make windows): the MinGW-w64 cross compiler, GoogleTest's
# sources to build it with, and Wine to run the tests and orvantor.exe.
if [[ "${ORVANTOR_WITH_WINDOWS:-OFF}" == "ON" ]]; then
  packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64)
fi
# `make package`: dpkg-shlibdeps finds the packages' library dependencies,
# and CPack asks `file` which installed files are programs.
if [[ "${ORVANTOR_PACKAGING:-OFF}" == "ON" ]]; then
  packages+=(dpkg-dev file)
fi
# CI's check that the C++ code keeps the layout of .clang-format.
if [[ "${ORVANTOR_FORMAT_CHECK:-OFF}" == "ON" ]]; then
  packages+=(clang-format-14)
fi
# CI's checks of the built packages, installed as a user would.
if [[ "${ORVANTOR_PACKAGE_CHECKS:-OFF}" == "ON" ]]; then
  packages+=(lintian desktop-file-utils appstream man-db groff-base bash-completion)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
