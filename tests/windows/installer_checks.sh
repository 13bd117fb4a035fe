# shellcheck shell=bash disable=SC2154 # wine, work and the helpers are the caller's
# The installer's stage of scripts/test-windows.sh, which sources it with its
# helpers (pass, fail, same, listing), $wine, $work, $linux, a throwaway
# WINEPREFIX, and after the release archive's stage, whose map of the example
# ($work/relief.hzm) it compares with.
#
#   check_installer SETUP_EXE STAGE_DIR
#
# Two rounds, each in the same prefix:
#   1. the defaults (/S): the files in the 64-bit Program Files, the same as
#      the zip's; the Start-menu entry; the registry entries in the 64-bit
#      view; the PATH untouched; the installed stl2hzm.exe converting the
#      example; the installed window up; the uninstaller as Apps & features
#      runs it (it copies itself away and returns at once).
#   2. an earlier default program for .stl, then /S /PATH: stl2hzm.exe found
#      through the PATH, a reinstall without /PATH taking it off, /PATH again,
#      and the uninstaller run in place (_?=): the PATH back as it was, the
#      earlier default program for .stl kept.
#   3. a PATH too long to read whole (past 1023 characters), and one that
#      would grow past that: /S /PATH installs but leaves either as it was,
#      and so does the uninstaller.
# After each: nothing of pelmoro left in Program Files, the Start menu or the
# registry.

installer_pf="C:\\Program Files\\pelmoro"
installer_reg_environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
installer_reg_uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\pelmoro'
installer_reg_application='HKLM\Software\Classes\Applications\pelmoro.exe'
installer_reg_stl='HKLM\Software\Classes\.stl'
installer_reg_product='HKLM\Software\pelmoro'

# reg_value KEY NAME: "=" and the value's data as reg prints it (NAME "" for
# the key's default value), nothing when it is absent.
reg_value() {
  local which=(/v "$2") shown=$2
  if [ -z "$2" ]; then which=(/ve) shown='(Default)'; fi
  "$wine" reg query "$1" "${which[@]}" /reg:64 2>/dev/null | tr -d '\r' |
    sed -n "s/^    $(printf '%s' "$shown" | sed 's/[.*[^$]/\\&/g')    REG_[A-Z_]*    /=/p"
}
# has_key KEY [VIEW]: the key is there in the registry's 64-bit (or VIEW) view.
has_key() { "$wine" reg query "$1" "/reg:${2:-64}" >/dev/null 2>&1; }
# expect_value LABEL KEY NAME DATA
expect_value() {
  local have
  have=$(reg_value "$2" "$3")
  if [ "$have" = "=$4" ]; then pass; else fail "$1: $2 [$3] is '$have', not '=$4'"; fi
}
system_path() { reg_value "$installer_reg_environment" Path | cut -c2-; }

# installer_wait_gone: until the uninstaller's copy has removed the folder
# (bounded: the checks after it tell what was left).
installer_wait_gone() {
  for _ in $(seq 1 300); do
    [ -e "$installer_root" ] || return 0
    sleep 0.1
  done
}

# installer_restart_wine: every program of the prefix ended, and its server.
installer_restart_wine() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w
}

# check_installed_window: the installed pelmoro.exe shows its window, on a
# display of its own, and stays until it is ended.
check_installed_window() {
  local display_file="$work/installer-display" xvfb window_pid display
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  display=":$(head -1 "$display_file")"
  # Wine's desktop takes the display of the first program that needs it:
  # this one, after the programs so far, started without one, have ended.
  installer_restart_wine
  DISPLAY=$display "$wine" "$installer_pf\\pelmoro.exe" &
  window_pid=$!
  if DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --pid "$window_pid" \
    --name '^PELMORO$' >/dev/null; then
    pass
  else
    fail "installed window: no PELMORO window"
  fi
  if kill -0 "$window_pid" 2>/dev/null; then pass; else fail "installed window: ended by itself"; fi
  kill "$window_pid" 2>/dev/null || true
  wait "$window_pid" 2>/dev/null || true
  installer_restart_wine
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}

# check_installed LABEL PATH_BEFORE: what an install leaves.
check_installed() {
  local label=$1 before=$2 staged
  listing "$label: Program Files\\pelmoro" "$installer_root" \
    pelmoro.exe stl2hzm.exe README.txt LICENSE.txt relief.stl uninstall.exe
  for staged in pelmoro.exe stl2hzm.exe README.txt LICENSE.txt relief.stl; do
    same "$label: $staged" "$installer_stage/$staged" "$installer_root/$staged"
  done
  if [ -f "$installer_shortcut" ] && strings -el "$installer_shortcut" |
    grep -qF "$installer_pf\\pelmoro.exe"; then
    pass
  else
    fail "$label: no Start-menu entry for the window"
  fi
  expect_value "$label" "$installer_reg_uninstall" DisplayName "pelmoro $installer_version"
  expect_value "$label" "$installer_reg_uninstall" DisplayVersion "$installer_version"
  expect_value "$label" "$installer_reg_uninstall" InstallLocation "$installer_pf"
  expect_value "$label" "$installer_reg_uninstall" UninstallString "\"$installer_pf\\uninstall.exe\""
  expect_value "$label" "$installer_reg_uninstall" QuietUninstallString \
    "\"$installer_pf\\uninstall.exe\" /S"
  expect_value "$label" "$installer_reg_application\\shell\\open\\command" "" \
    "\"$installer_pf\\pelmoro.exe\" \"%1\""
  expect_value "$label" "$installer_reg_application\\SupportedTypes" .stl ""
  if has_key "$installer_reg_stl\\OpenWithList\\pelmoro.exe"; then pass; else fail "$label: not in .stl's Open with"; fi
  if has_key "$installer_reg_uninstall" 32; then fail "$label: entries in the 32-bit view"; else pass; fi
  if [ -n "$before" ]; then
    expect_value "$label: PATH untouched" "$installer_reg_environment" Path "$before"
  fi
}

# check_uninstalled LABEL: nothing of pelmoro left.
check_uninstalled() {
  local label=$1 key
  listing "$label: Program Files" "$installer_programs" "${installer_programs_before[@]}"
  if [ -e "$installer_shortcut" ]; then fail "$label: Start-menu entry left"; else pass; fi
  for key in "$installer_reg_uninstall" "$installer_reg_application" "$installer_reg_product" \
    "$installer_reg_stl\\OpenWithList\\pelmoro.exe"; do
    if has_key "$key"; then fail "$label: $key left"; else pass; fi
  done
  case "$(system_path)" in
    *pelmoro*) fail "$label: PATH still names the folder" ;;
    *) pass ;;
  esac
}

check_installer() {
  local setup=$1 path_before got
  installer_stage=$2
  installer_version=$(basename "$setup" | sed -n 's/^pelmoro-\(.*\)-win64-setup\.exe$/\1/p')
  installer_programs="$WINEPREFIX/drive_c/Program Files"
  installer_root="$installer_programs/pelmoro"
  installer_shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/pelmoro.lnk"
  if x86_64-w64-mingw32-objdump -f "$setup" | grep -q 'file format pei-x86-64'; then
    pass
  else
    fail "installer: not a 64-bit program"
  fi
  mapfile -t installer_programs_before < <(cd "$installer_programs" && ls -A)
  path_before=$(system_path)

  echo "test-windows: the installer, with its defaults"
  got=0
  "$wine" "$setup" /S || got=$?
  if [ "$got" = 0 ]; then pass; else fail "installer /S: exit $got"; fi
  check_installed "defaults" "$path_before"
  mkdir -p "$work/installed"
  cp "$installer_stage/relief.stl" "$work/installed/"
  (cd "$work/installed" && "$wine" "$installer_pf\\stl2hzm.exe" -q --pitch 0.25 relief.stl) ||
    fail "installed stl2hzm.exe"
  same "installed stl2hzm.exe" "$work/relief.hzm" "$work/installed/relief.hzm"
  check_installed_window
  "$wine" "$installer_pf\\uninstall.exe" /S || fail "uninstaller /S"
  installer_wait_gone
  check_uninstalled "uninstalled"

  echo "test-windows: the installer, stl2hzm on the PATH"
  "$wine" reg add "$installer_reg_stl" /ve /d earlier.stl.file /f /reg:64 >/dev/null
  "$wine" "$setup" /S /PATH || fail "installer /S /PATH"
  check_installed "/PATH" ""
  expect_value "/PATH" "$installer_reg_environment" Path "$path_before;$installer_pf"
  expect_value "/PATH: .stl's default program" "$installer_reg_stl" "" earlier.stl.file
  got=$(cd "$work/installed" && "$wine" cmd /c "stl2hzm.exe --version" | tr -d '\r' | head -1)
  if [ "$got" = "stl2hzm $installer_version" ]; then pass; else fail "stl2hzm.exe through the PATH: '$got'"; fi
  "$wine" "$setup" /S || fail "installer /S again"
  expect_value "reinstalled without /PATH" "$installer_reg_environment" Path "$path_before"
  "$wine" "$setup" /S /PATH || fail "installer /S /PATH again"
  expect_value "/PATH again" "$installer_reg_environment" Path "$path_before;$installer_pf"
  mkdir -p "$work/uninstaller"
  cp "$installer_root/uninstall.exe" "$work/uninstaller/"
  # _?= must reach the uninstaller unquoted, at the end of its command line.
  "$wine" cmd /c "Z:${work//\//\\}\\uninstaller\\uninstall.exe /S _?=$installer_pf" ||
    fail "uninstaller /S _?="
  check_uninstalled "uninstalled in place"
  expect_value "uninstalled in place: PATH" "$installer_reg_environment" Path "$path_before"
  expect_value "uninstalled in place: .stl's default program" "$installer_reg_stl" "" earlier.stl.file

  echo "test-windows: the installer, long PATHs"
  check_long_path "$setup" 1500
  check_long_path "$setup" 1010
  "$wine" reg add "$installer_reg_environment" /v Path /t REG_EXPAND_SZ /d "$path_before" /f \
    /reg:64 >/dev/null
}

# check_long_path SETUP LENGTH: a system PATH of LENGTH characters survives
# an install with /PATH and the uninstall, to the character.
check_long_path() {
  local long=$path_before
  while [ ${#long} -lt "$2" ]; do long="$long;C:\\Tools\\bin"; done
  long=${long:0:$2}
  "$wine" reg add "$installer_reg_environment" /v Path /t REG_EXPAND_SZ /d "$long" /f \
    /reg:64 >/dev/null
  "$wine" "$1" /S /PATH || fail "installer /S /PATH, a PATH of $2"
  check_installed "a PATH of $2" "$long"
  "$wine" "$installer_pf\\uninstall.exe" /S || fail "uninstaller /S, a PATH of $2"
  installer_wait_gone
  expect_value "uninstalled, a PATH of $2" "$installer_reg_environment" Path "$long"
  listing "uninstalled, a PATH of $2: Program Files" "$installer_programs" \
    "${installer_programs_before[@]}"
}
