#!/usr/bin/env bash
# Signs Kestrelgate.app from the inside out with the hardened runtime and a
# secure timestamp, verifies the result and, given a notarytool keychain
# profile, notarizes the application and staples the ticket to it. Copies
# nothing into the bundle: the application must already hold
#
#   Contents/Frameworks/libOSXNatives.dylib   (found through java.library.path)
#   Contents/MacOS/osxnatives-recover         (a helper tool, beside the launcher)
#
# Usage: sign-and-notarize.sh APP IDENTITY [--profile KEYCHAIN_PROFILE] [--entitlements FILE]
#
#   IDENTITY      a "Developer ID Application: ..." identity of the login keychain
#   --profile     the profile `xcrun notarytool store-credentials` saved; without
#                 it the application is signed and verified but not notarized
#   --entitlements  default: entitlements.plist beside this script
#                 (entitlements-assessment.plist for Apple's assessment mode,
#                 which also needs Contents/embedded.provisionprofile)
#
# Order: every Mach-O file inside the bundle, deepest first (the JVM's
# libraries and programs under Contents/runtime, the library, the recovery
# tool); then every nested bundle, deepest first (the runtime); then the
# application, whose signature seals all of them. The entitlements go on the
# application (its launcher runs the JVM) and on the runtime's own JVM
# launchers in Contents/Home/bin; libraries never carry any and the recovery
# tool needs none. Every signature uses the hardened runtime and a timestamp,
# as notarization requires.
#
# Nothing is signed until every input has been checked. PLISTBUDDY names
# PlistBuddy (default /usr/libexec/PlistBuddy). Exits non-zero on any failure.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
me=sign-and-notarize

die() {
  echo "$me: $*" >&2
  exit 1
}
usage() {
  echo "usage: $me.sh APP IDENTITY [--profile KEYCHAIN_PROFILE] [--entitlements FILE]" >&2
  exit 2
}

# shellcheck source=packaging/macos/macho.sh
. "$here/macho.sh"

app="" identity="" given=0 profile="" entitlements=$here/entitlements.plist
while (($#)); do
  case $1 in
    --profile | --entitlements)
      if (($# < 2)) || [[ -z $2 ]]; then die "$1 needs a value"; fi
      if [[ $1 == --profile ]]; then profile=$2; else entitlements=$2; fi
      shift 2
      ;;
    -h | --help) usage ;;
    -*) echo "$me: unknown option $1" >&2; usage ;;
    *)
      case $given in
        0) app=${1%/} ;;
        1) identity=$1 ;;
        *) usage ;;
      esac
      given=$((given + 1))
      shift
      ;;
  esac
done
((given == 2)) || usage

[[ -n $identity ]] || die "the signing identity is empty"
[[ $app == *.app ]] || die "$app is not an application bundle (no .app)"
[[ -d $app && ! -L $app ]] || die "no application at $app"
[[ -f $app/Contents/Info.plist ]] || die "$app has no Contents/Info.plist"
[[ -f $entitlements ]] || die "no entitlements file at $entitlements"
tools=(codesign)
[[ -z $profile ]] || tools+=(xcrun ditto spctl)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || die "$tool is missing (Xcode's command-line tools)"
done

for required in Frameworks/libOSXNatives.dylib MacOS/osxnatives-recover; do
  path=$app/Contents/$required
  [[ ! -L $path ]] || die "Contents/$required is a symbolic link; the bundle must hold the file"
  [[ -f $path ]] || die "Contents/$required is missing"
  is_macho "$path" || die "Contents/$required is not a Mach-O file"
  require_universal "$path" "$me" || exit 1
done
[[ -x $app/Contents/MacOS/osxnatives-recover ]] ||
  die "Contents/MacOS/osxnatives-recover is not executable"

plistbuddy=${PLISTBUDDY:-/usr/libexec/PlistBuddy}
main=$("$plistbuddy" -c 'Print :CFBundleExecutable' "$app/Contents/Info.plist" 2>/dev/null) ||
  die "Contents/Info.plist names no CFBundleExecutable"
[[ -f $app/Contents/MacOS/$main ]] || die "the launcher Contents/MacOS/$main is missing"

# Entitlements of Apple's developer programme (assessment mode) are honoured
# only with a provisioning profile that grants them; without one macOS
# refuses to launch the application at all.
if grep -q '<key>com\.apple\.developer\.' "$entitlements" &&
  [[ ! -f $app/Contents/embedded.provisionprofile ]]; then
  die "$entitlements asks for a developer entitlement:" \
    "Contents/embedded.provisionprofile is missing"
fi

sign() {
  local path=$1 flags=(--force --options runtime --timestamp)
  [[ $2 == entitled ]] && flags+=(--entitlements "$entitlements")
  echo "$me: signing ${path#"$app"/}"
  codesign "${flags[@]}" --sign "$identity" "$path" || die "codesign failed on $path"
}

# Deepest first; ties in path order, so the result does not depend on find.
by_depth() { awk '{print gsub("/", "/") "\t" $0}' | sort -t $'\t' -k1,1nr -k2 | cut -f2-; }

files=() bundles=()
while IFS= read -r path; do
  [[ $path != "$app/Contents/MacOS/$main" ]] || continue
  case $path in
    *.dylib | *.jnilib | *.so) ;;
    *) [[ -x $path ]] || continue ;;
  esac
  if is_macho "$path"; then
    files+=("$path")
  fi
done < <(find "$app/Contents" -type f | by_depth)
while IFS= read -r path; do
  case $path in
    *.app | *.framework | *.bundle | *.xpc) bundles+=("$path") ;;
    *) [[ ! -f $path/Contents/Info.plist ]] || bundles+=("$path") ;;
  esac
done < <(find "$app/Contents" -mindepth 1 -type d | by_depth)

for path in "${files[@]}"; do
  case $path in
    */Contents/Home/bin/*) sign "$path" entitled ;;
    *) sign "$path" plain ;;
  esac
done
# (The empty-array form keeps bash 3.2, macOS's own, quiet under set -u.)
for path in ${bundles[@]+"${bundles[@]}"}; do
  sign "$path" plain
done
sign "$app" entitled

echo "$me: verifying"
codesign --verify --deep --strict --verbose=2 "$app" || die "$app does not verify"

if [[ -z $profile ]]; then
  echo "$me: signed; not notarized (no --profile given)"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
zip=$work/$(basename "$app" .app).zip
ditto -c -k --keepParent "$app" "$zip"
echo "$me: submitting to Apple's notary service (this waits for the verdict)"
result=$(xcrun notarytool submit "$zip" --keychain-profile "$profile" --wait \
  --output-format json) || die "notarytool failed: $result"
field() { sed -n "s/.*\"$1\" *: *\"\\([^\"]*\\)\".*/\\1/p" <<<"$result" | head -n 1; }
status=$(field status) id=$(field id)
[[ $status == Accepted ]] ||
  die "notarization ended '${status:-unknown}'; see" \
    "xcrun notarytool log ${id:-ID} --keychain-profile $profile"

xcrun stapler staple "$app" || die "stapling the ticket to $app failed"
xcrun stapler validate "$app" || die "the stapled ticket of $app does not validate"
spctl --assess --type execute --verbose=2 "$app" || die "Gatekeeper rejects $app"
echo "$me: $app is signed, notarized and stapled"
