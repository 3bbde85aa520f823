#!/usr/bin/env bash
# Plants, in the folder given, what Windows programs under Wine cannot make themselves but must
# be able to meet: symbolic links (Wine shows one to a folder as a reparse point) and a folder
# of another user. Made afresh before every test run.
#   work-link/k_veld_temp     a link to the folder elsewhere/, in the work folder's place
#   work-dangling/k_veld_temp a link that leads nowhere, in the work folder's place
#   work-other/k_veld_temp    a folder of another user (only when this runs as root)
set -euo pipefail
folder=${1:?plant_links.sh needs a folder}
case "$(basename "$folder")" in
  planted) ;;
  *) echo "plant_links.sh: the folder must end in /planted, not $folder" >&2; exit 2 ;;
esac
rm -rf "$folder"
mkdir -p "$folder"/{elsewhere,work-link,work-dangling,work-other/k_veld_temp}
chmod 755 "$folder"/elsewhere
ln -s ../elsewhere "$folder"/work-link/k_veld_temp
ln -s ../nowhere "$folder"/work-dangling/k_veld_temp
if [ "$(id -u)" = 0 ]; then
  chown 65534:65534 "$folder"/work-other/k_veld_temp
fi
