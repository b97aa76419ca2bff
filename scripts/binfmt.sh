# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# A private binfmt_misc registration of a qemu user-mode emulator, shared by
# the runners of foreign programs (scripts/i386-run.sh, scripts/arm64-run.sh).
# Sourced, in a process already inside its own user and mount namespace
# (unshare --user --map-root-user --mount): the registration lives in that
# namespace's own binfmt_misc and ends with it; the machine sees nothing.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  echo "usage: source scripts/binfmt.sh (binfmt_register, for the foreign-program runners)"
  exit 0
fi

# binfmt_register <arch> <interpreter> <scratch dir>: every <arch> (i386 or
# aarch64) ELF program started in this namespace runs under <interpreter>.
# On failure prints the reason and returns 1.
binfmt_register() {
  local arch="$1" interpreter="$2" work="$3" magic mask error
  # The ELF executables of each, as qemu's own binfmt configuration matches
  # them (executables and position-independent ones alike).
  case "$arch" in
    i386)
      magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
      mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
      ;;
    aarch64)
      magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
      mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
      ;;
    *)
      echo "no ELF format known for $arch"
      return 1
      ;;
  esac
  local binfmt=/proc/sys/fs/binfmt_misc
  error="$(mount -t binfmt_misc binfmt_misc "$binfmt" 2>&1)" || {
    echo "binfmt_misc cannot be mounted in a user namespace here ($error)"
    return 1
  }
  # qemu keeps the program's own argv[0] when its name ends in -binfmt-P;
  # F opens the interpreter now, P passes that argv[0] on.
  ln -sf "$interpreter" "$work/qemu-$arch-binfmt-P"
  error="$(printf ':lumo-%s:M::%s:%s:%s:FP\n' "$arch" "$magic" "$mask" "$work/qemu-$arch-binfmt-P" 2>&1 >"$binfmt/register")" || {
    echo "binfmt_misc refused the qemu-$arch registration ($error)"
    return 1
  }
}
