#!/usr/bin/env bash
# Draws the program's icon, its two pointer files and the sample images into resources/.
# Needs ImageMagick and exiftool. The outputs are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/../resources"

# Program icon: a magnifying glass over a price tag.
convert -size 256x256 xc:none \
    -fill '#2f6db5' -draw 'roundrectangle 28,60 190,200 22,22' \
    -fill white -draw 'circle 60,130 60,116' \
    -fill none -stroke '#f4b400' -strokewidth 18 -draw 'circle 150,110 150,50' \
    -stroke '#f4b400' -strokewidth 26 -draw 'line 192,152 236,196' \
    tagsifter.png
convert tagsifter.png -resize 48x48 tagsifter-48.png

# Hand pointer: a pointing finger over a palm, 32x32, black outline on white.
convert -size 32x32 xc:none -stroke black -strokewidth 1 -fill white \
    -draw 'roundrectangle 9,1 14,18 2,2' \
    -draw 'roundrectangle 6,14 26,30 4,4' \
    -draw 'line 15,14 15,20' -draw 'line 20,14 20,20' \
    HAND-M.png
convert HAND-M.png cur:HAND-M.CUR
rm HAND-M.png

# Drag pointer: a sheet with an up and down arrow.
convert -size 32x32 xc:none -stroke black -strokewidth 1 -fill '#fff8d0' \
    -draw 'rectangle 6,4 22,28' \
    -fill '#2f6db5' -stroke '#2f6db5' \
    -draw 'polygon 26,6 30,12 22,12' -draw 'rectangle 25,12 27,20' \
    -draw 'polygon 26,28 30,22 22,22' \
    drag.png
convert drag.png ico:drag.ico
rm drag.png

# Sample images: small pictures with the metadata real cameras and photo tools write.
mkdir -p Samples
rm -f Samples/*.jpg
make_sample() {
    local name=$1 colours=$2
    shift 2
    convert -size 160x120 "gradient:${colours}" -quality 70 "Samples/${name}"
    exiftool -q -overwrite_original "$@" "Samples/${name}"
}
make_sample Harbour_at_dawn.jpg 'skyblue-orange' \
    -Make='Eastman Kodak Company' -Model='KODAK EASYSHARE Z981' \
    -DateTimeOriginal='2021:08:31 06:12:40' -ExposureTime=1/250 -FNumber=5.6 -ISO=100 \
    -GPSLatitude=54.3520 -GPSLatitudeRef=N -GPSLongitude=18.6466 -GPSLongitudeRef=E \
    -GPSAltitude=352.676 -GPSAltitudeRef=0 \
    -ImageDescription='Fishing boats in the harbour at dawn' \
    -IPTC:Keywords=harbour -IPTC:Keywords=boats -IPTC:Keywords=sunrise \
    -XMP:Subject=harbour -XMP:Subject=boats -XMP:Description='Fishing boats at dawn' \
    -Artist='M. Ostrowska'
make_sample Garden_party.jpg 'seagreen-khaki' \
    -Make='KODAK' -Model='DC240 ZOOM DIGITAL CAMERA' \
    -DateTimeOriginal='2019:06:15 15:30:05' -ExposureTime=1/125 -FNumber=4.0 -ISO=200 \
    -ImageDescription='Garden party in the old orchard' \
    -IPTC:Keywords=garden -IPTC:Keywords=family -IPTC:City='Sopot' \
    -XMP:Subject=garden -XMP:Subject=party -XMP:Rating=4
make_sample Mountain_trail.jpg 'steelblue-white' \
    -Make='NIKON CORPORATION' -Model='NIKON D7500' \
    -DateTimeOriginal='2022:02:03 11:45:00' -ExposureTime=1/1000 -FNumber=8 -ISO=100 \
    -GPSLatitude=49.2320 -GPSLatitudeRef=N -GPSLongitude=19.9818 -GPSLongitudeRef=E \
    -GPSAltitude=1987.3 -GPSAltitudeRef=0 \
    -ImageDescription='Snow on the ridge trail above the valley' \
    -IPTC:Keywords=mountains -IPTC:Keywords=snow -IPTC:Keywords=hiking \
    -XMP:Subject=mountains -XMP:Creator='Jan Kowal' -Copyright='Jan Kowal'
make_sample City_lights.jpg 'midnightblue-gold' \
    -Make='Canon' -Model='Canon EOS 80D' \
    -DateTimeOriginal='2020:12:24 21:05:33' -ExposureTime=2 -FNumber=11 -ISO=400 \
    -ImageDescription='Christmas lights in the old town square' \
    -IPTC:Keywords=city -IPTC:Keywords=night -IPTC:Keywords=christmas \
    -XMP:Subject=city -XMP:Description='Old town square at night'
make_sample Beach_walk.jpg 'khaki-lightblue' \
    -Make='FUJIFILM' -Model='X-T30' \
    -DateTimeOriginal='2023:07:09 18:20:11' -ExposureTime=1/500 -FNumber=5.6 -ISO=160 \
    -GPSLatitude=36.7213 -GPSLatitudeRef=N -GPSLongitude=4.4214 -GPSLongitudeRef=W \
    -ImageDescription='Evening walk along the beach' \
    -IPTC:Keywords=beach -IPTC:Keywords=sea \
    -XMP:Subject=beach -XMP:Subject=summer -Software='Darktable 4.4.2'
make_sample Old_bridge.jpg 'gray-sienna' \
    -Make='SONY' -Model='ILCE-7M3' \
    -DateTimeOriginal='2018:10:21 09:02:47' -ExposureTime=1/60 -FNumber=2.8 -ISO=800 \
    -ImageDescription='Stone bridge over the river in autumn fog' \
    -IPTC:Keywords=bridge -IPTC:Keywords=autumn -IPTC:Keywords=fog \
    -XMP:Subject=bridge -XMP:Description='Scanned from a Kodak Portra 400 negative'
ls -l Samples
