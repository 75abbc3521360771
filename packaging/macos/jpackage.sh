#!/usr/bin/env bash
# Builds Kestrelgate.app with the JDK's jpackage (an app image: the browser's
# jars, a Java runtime and a native launcher), puts libOSXNatives and its
# recovery tool where the application finds them, merges the keys the library
# needs into Info.plist and hands the bundle to sign-and-notarize.sh.
#
# Usage: jpackage.sh --input DIR --main-jar JAR --main-class CLASS --identity IDENTITY
#                    [--profile KEYCHAIN_PROFILE] [--natives DIR] [--dest DIR]
#                    [--app-version VERSION] [--runtime-image DIR] [--icon FILE.icns]
#                    [--identifier BUNDLE_ID] [--info-plist FILE] [--entitlements FILE]
#                    [--provisioning-profile FILE]
#
#   --input      folder of the browser's jars (osxnatives.jar among them)
#   --main-jar   the jar, in --input, whose class CLASS starts the browser
#   --natives    folder holding libOSXNatives.dylib and osxnatives-recover
#                (default build-macos-universal of this checkout; build-macos
#                after the cross build)
#   --dest       where Kestrelgate.app is made (default: the current folder, as
#                jpackage's own default); it must not exist there yet
#   --identifier the bundle identifier, default com.trevant.qor.Kestrelgate: the
#                event listener brings the browser back after Command+Tab only
#                under that identifier
#   --info-plist the keys merged into Info.plist (default Info.plist.fragment here)
#   --provisioning-profile  embedded as Contents/embedded.provisionprofile, for
#                entitlements-assessment.plist
#   --profile, --entitlements, --identity: as sign-and-notarize.sh takes them
#
# The launcher starts the JVM with -Djava.library.path=$APPDIR/../Frameworks
# ($APPDIR is Contents/app, expanded by the launcher), so
# System.loadLibrary("OSXNatives") finds Contents/Frameworks/libOSXNatives.dylib.
# PLISTBUDDY names PlistBuddy (default /usr/libexec/PlistBuddy).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
me=jpackage

die() {
  echo "$me: $*" >&2
  exit 1
}
usage() {
  sed -n 's/^# \{0,1\}//; /^Usage:/,/^$/p' "$0" | sed '/^$/d' >&2
  exit 2
}
# shellcheck source=packaging/macos/macho.sh
. "$here/macho.sh"

name=Kestrelgate
input="" main_jar="" main_class="" identity="" profile="" natives=$root/build-macos-universal
dest=. app_version="" runtime_image="" icon="" identifier=com.trevant.qor.Kestrelgate
info_plist=$here/Info.plist.fragment entitlements=$here/entitlements.plist provisioning=""
while (($#)); do
  case $1 in
    -h | --help) usage ;;
    --input | --main-jar | --main-class | --identity | --profile | --natives | --dest | \
      --app-version | --runtime-image | --icon | --identifier | --info-plist | --entitlements | \
      --provisioning-profile)
      if (($# < 2)) || [[ -z $2 ]]; then die "$1 needs a value"; fi
      case $1 in
        --input) input=$2 ;;
        --main-jar) main_jar=$2 ;;
        --main-class) main_class=$2 ;;
        --identity) identity=$2 ;;
        --profile) profile=$2 ;;
        --natives) natives=$2 ;;
        --dest) dest=$2 ;;
        --app-version) app_version=$2 ;;
        --runtime-image) runtime_image=$2 ;;
        --icon) icon=$2 ;;
        --identifier) identifier=$2 ;;
        --info-plist) info_plist=$2 ;;
        --entitlements) entitlements=$2 ;;
        --provisioning-profile) provisioning=$2 ;;
      esac
      shift 2
      ;;
    *) echo "$me: unknown argument $1" >&2; usage ;;
  esac
done

[[ -n $input ]] || die "--input is required"
[[ -n $main_jar ]] || die "--main-jar is required"
[[ -n $main_class ]] || die "--main-class is required"
[[ -n $identity ]] || die "--identity is required"
command -v jpackage >/dev/null || die "jpackage is missing (it comes with a JDK 17 or later)"
[[ -d $input ]] || die "no input folder at $input"
[[ -f $input/$main_jar ]] || die "the main jar $main_jar is not in $input"
for file in libOSXNatives.dylib osxnatives-recover; do
  [[ -f $natives/$file ]] ||
    die "no $file in $natives (build it with the macos-universal preset or pass --natives)"
  is_macho "$natives/$file" || die "$natives/$file is not a Mach-O file"
  require_universal "$natives/$file" "$me" || exit 1
done
[[ -f $info_plist ]] || die "no Info.plist fragment at $info_plist"
plistbuddy=${PLISTBUDDY:-/usr/libexec/PlistBuddy}
# The keys the library needs in Info.plist; prints the first one FILE lacks.
missing_key() {
  local key
  for key in CFBundleName CFBundleURLTypes NSCameraUsageDescription \
    NSMicrophoneUsageDescription NSAppleEventsUsageDescription; do
    if ! "$plistbuddy" -c "Print :$key" "$1" >/dev/null 2>&1; then
      echo "$key"
      return 1
    fi
  done
}
missing=$(missing_key "$info_plist") || die "$info_plist has no $missing"
[[ -f $entitlements ]] || die "no entitlements file at $entitlements"
[[ -z $provisioning || -f $provisioning ]] || die "no provisioning profile at $provisioning"
[[ -z $runtime_image || -d $runtime_image ]] || die "no runtime image at $runtime_image"
[[ -z $icon || -f $icon ]] || die "no icon at $icon"
license=""
for dir in "$natives" "$root"; do
  if [[ -f $dir/LICENSE ]]; then
    license=$dir
    break
  fi
done
[[ -n $license ]] || die "no LICENSE beside the natives or in $root: the library ships with it"
app=$dest/$name.app
[[ ! -e $app ]] || die "$app exists already; remove it or choose another --dest"

# $APPDIR stays literal: the launcher expands it to Contents/app at start.
# shellcheck disable=SC2016
args=(--type app-image --name "$name" --dest "$dest" --input "$input"
  --main-jar "$main_jar" --main-class "$main_class"
  --java-options '-Djava.library.path=$APPDIR/../Frameworks'
  --mac-package-identifier "$identifier" --mac-package-name "$name")
[[ -z $app_version ]] || args+=(--app-version "$app_version")
[[ -z $runtime_image ]] || args+=(--runtime-image "$runtime_image")
[[ -z $icon ]] || args+=(--icon "$icon")
echo "$me: making $app"
jpackage "${args[@]}" || die "jpackage failed"
[[ -f $app/Contents/Info.plist ]] || die "jpackage made no $app/Contents/Info.plist"

contents=$app/Contents
mkdir -p "$contents/Frameworks" "$contents/MacOS" "$contents/Resources"
cp "$natives/libOSXNatives.dylib" "$contents/Frameworks/libOSXNatives.dylib"
cp "$natives/osxnatives-recover" "$contents/MacOS/osxnatives-recover"
chmod 755 "$contents/MacOS/osxnatives-recover"
cp "$license/LICENSE" "$contents/Resources/OSXNatives-LICENSE"
[[ ! -f $license/NOTICE ]] || cp "$license/NOTICE" "$contents/Resources/OSXNatives-NOTICE"
if [[ -n $provisioning ]]; then
  cp "$provisioning" "$contents/embedded.provisionprofile"
fi
# Merge adds the keys Info.plist lacks and keeps those jpackage wrote (it
# reports each one it skips); what counts is the result, checked below.
# PlistBuddy splits its command at spaces: it reads a copy at a plain path.
work=$(mktemp -d)
cp "$info_plist" "$work/fragment.plist"
"$plistbuddy" -c "Merge $work/fragment.plist" "$contents/Info.plist" || true
rm -rf "$work"
missing=$(missing_key "$contents/Info.plist") ||
  die "merging $info_plist left $contents/Info.plist without $missing"

sign=("$app" "$identity" --entitlements "$entitlements")
[[ -z $profile ]] || sign+=(--profile "$profile")
exec bash "$here/sign-and-notarize.sh" "${sign[@]}"
