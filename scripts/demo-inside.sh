# The demo's steps inside the sandbox (see demo.sh). Loaded after sandbox-lib.sh.
start_cupsd || exit 1

# A queue of another maker, from a PPD of its own, which setup must leave alone.
put /tmp/other.ppd <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "OTHER.PPD"
*Manufacturer: "Other"
*Product: "(Other Writer)"
*ModelName: "Other Writer 10"
*ShortNickName: "Other Writer 10"
*NickName: "Other Writer 10"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 18 577 824"
*ImageableArea Letter/Letter: "18 18 594 774"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/Letter: "612 792"
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
PPD
lpadmin -p Other -E -v file:/dev/null -P /tmp/other.ppd 2>>$OUT/lpadmin.stderr

# Two queues of the sample product's older PPDs, with defaults chosen by their owners.
set -- $(ls "$SRC"/product/ppd-old/* 2>/dev/null | head -n 2)
if [ $# -ge 2 ]; then
  lpadmin -p Office -E -v file:/dev/null -P "$1" 2>>$OUT/lpadmin.stderr
  lpadmin -p Office -o PageSize=Letter -o Duplex=DuplexNoTumble
  lpadmin -p Lab -E -v file:/dev/null -P "$2" 2>>$OUT/lpadmin.stderr
  lpadmin -p Lab -o PageSize=Legal -o Duplex=DuplexTumble
fi

# setup restarts CUPS through systemctl, which does nothing inside the sandbox's chroot;
# the demo restarts the scheduler itself, so that what it shows comes from the new files.
restart_cupsd() {
  kill $(pidof cupsd) && while pidof cupsd >/dev/null; do sleep 0.1; done
  start_cupsd
}

queues() {
  for q in Office Lab Other; do
    echo "--- $q"
    lpoptions -p $q -l 2>&1 | grep -E '^(PageSize|Duplex)' || true
  done
}
queues >$OUT/before.txt
# The preview first: what setup would do, and what would become of each chosen default.
run_setup preview -n
run_setup install
cp /var/log/Plix4.0_CarryOver $OUT/install.carry 2>/dev/null
restart_cupsd
queues >$OUT/after.txt

# The product's own queue tool records its queues in the information file and gives
# each a configuration directory; here the demo stands in for it.
sed -i 's/^%%ZANBLOCK_PRINTERS_BEGIN$/&\nOffice\nLab/' /opt/zed/plixInfo4.0
for q in Office Lab; do
  mkdir -p /opt/zed/$q/root
  printf '%s\n' '# Plix queue configuration' '%%PLIX_VERSION_1.0' >/opt/zed/$q/root/plixConfig
  printf '#!/bin/sh\n' >/opt/zed/$q.sh
done
run_setup upgrade
cp /var/log/Plix4.0_CarryOver $OUT/upgrade.carry 2>/dev/null
cat /opt/zed/Office/root/plixConfig >$OUT/plixConfig.txt
run_setup uninstall-preview -d -n
ANSWERS='ja\n' run_setup uninstall -d
LC_ALL=C lpstat -p >$OUT/final.txt 2>&1
true
