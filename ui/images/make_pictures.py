#!/usr/bin/env python3
"""Writes the window's SVG pictures into this folder.

The pictures are plain SVG files kept in the repository; this script is how
they were made, so that a colour or a size can be changed in one place and all
variants written again:  python3 ui/images/make_pictures.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "font-family=\"Arial, Helvetica, sans-serif\""

# Selected (yellow) and other (white) faces of the picture buttons.
FACES = {
    "yellow": dict(top="#FFE98A", bottom="#F2B705", edge="#B07F00", ink="#3D2B00"),
    "white": dict(top="#FFFFFF", bottom="#E3E9F1", edge="#9AA9BC", ink="#1D3A5E"),
}

# Small line icons drawn in a 24 x 24 box; {ink} is the face's ink colour.
ICONS = {
    "status": '<polyline points="1,13 6,13 9,5 13,20 16,10 18,13 23,13" fill="none" '
              'stroke="{ink}" stroke-width="2.2" stroke-linejoin="round" stroke-linecap="round"/>',
    "setup": '<circle cx="12" cy="12" r="9.5" fill="none" stroke="{ink}" stroke-width="2"/>'
             '<polyline points="12,6 12,12 16.5,14.5" fill="none" stroke="{ink}" '
             'stroke-width="2" stroke-linecap="round"/>',
    "upgrade": '<rect x="4" y="7" width="16" height="14" rx="2" fill="none" stroke="{ink}" '
               'stroke-width="2"/><path d="M12 17 V3 M7.5 7.5 L12 3 L16.5 7.5" fill="none" '
               'stroke="{ink}" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>',
    "email": '<rect x="2" y="5" width="20" height="14" rx="2" fill="none" stroke="{ink}" '
             'stroke-width="2"/><polyline points="2.5,6 12,13.5 21.5,6" fill="none" '
             'stroke="{ink}" stroke-width="2" stroke-linejoin="round"/>',
    "smart": '<rect x="3" y="13" width="4" height="8" fill="{ink}"/>'
             '<rect x="10" y="8" width="4" height="13" fill="{ink}"/>'
             '<rect x="17" y="3" width="4" height="18" fill="{ink}"/>',
    "about": '<circle cx="12" cy="12" r="10" fill="none" stroke="{ink}" stroke-width="2"/>'
             '<circle cx="12" cy="7" r="1.6" fill="{ink}"/>'
             '<rect x="10.8" y="10" width="2.4" height="8" rx="1" fill="{ink}"/>',
    "drive": '<rect x="2" y="6" width="20" height="12" rx="2" fill="none" stroke="{ink}" '
             'stroke-width="2"/><circle cx="17.5" cy="12" r="1.6" fill="{ink}"/>'
             '<line x1="5" y1="12" x2="12" y2="12" stroke="{ink}" stroke-width="2"/>',
}


def write(name, body):
    with open(os.path.join(HERE, name), "w", encoding="ascii") as f:
        f.write(body)


def gradient(gid, top, bottom):
    return (f'<defs><linearGradient id="{gid}" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/>'
            '</linearGradient></defs>')


def face_button(width, height, label, icon, face, font_size=14):
    c = FACES[face]
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
             f'viewBox="0 0 {width} {height}">',
             gradient("g", c["top"], c["bottom"]),
             f'<rect x="1" y="1" width="{width - 2}" height="{height - 2}" rx="7" fill="url(#g)" '
             f'stroke="{c["edge"]}" stroke-width="1.5"/>']
    text_x = width / 2
    anchor = "middle"
    if icon:
        y = (height - 24) / 2
        parts.append(f'<g transform="translate(9,{y})">{ICONS[icon].format(ink=c["ink"])}</g>')
        text_x = 41
        anchor = "start"
    parts.append(f'<text x="{text_x}" y="{height / 2 + font_size * 0.36:.1f}" {FONT} '
                 f'font-size="{font_size}" font-weight="bold" fill="{c["ink"]}" '
                 f'text-anchor="{anchor}">{label}</text></svg>\n')
    return "".join(parts)


def enclosure(number, face):
    c = FACES[face]
    bays = []
    for i, y in enumerate((14, 33)):
        bays.append(f'<rect x="12" y="{y}" width="62" height="15" rx="2.5" fill="#FFFFFF" '
                    f'fill-opacity="0.85" stroke="{c["edge"]}" stroke-width="1.2"/>'
                    f'<line x1="18" y1="{y + 7.5}" x2="50" y2="{y + 7.5}" stroke="{c["edge"]}" '
                    f'stroke-width="2" stroke-linecap="round"/>'
                    f'<circle cx="66" cy="{y + 7.5}" r="2.6" fill="#2DB84D"/>')
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="100" height="64" viewBox="0 0 100 64">'
            + gradient("g", c["top"], c["bottom"]) +
            f'<rect x="4" y="5" width="92" height="52" rx="7" fill="url(#g)" stroke="{c["edge"]}" '
            f'stroke-width="1.6"/>' + "".join(bays) +
            f'<circle cx="86" cy="31" r="8.5" fill="{c["ink"]}"/>'
            f'<text x="86" y="36" {FONT} font-size="13" font-weight="bold" fill="#FFFFFF" '
            f'text-anchor="middle">{number}</text>'
            f'<rect x="14" y="57" width="14" height="4" rx="1" fill="{c["edge"]}"/>'
            f'<rect x="72" y="57" width="14" height="4" rx="1" fill="{c["edge"]}"/></svg>\n')


def background(band_top, band_bottom, side):
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="620" height="420" viewBox="0 0 620 420">'
        '<defs><linearGradient id="band" x1="0" y1="0" x2="1" y2="0">'
        f'<stop offset="0" stop-color="{band_top}"/><stop offset="1" stop-color="{band_bottom}"/>'
        '</linearGradient><linearGradient id="side" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{side}"/><stop offset="1" stop-color="#FFFFFF"/>'
        '</linearGradient></defs>'
        '<rect width="620" height="420" fill="#FFFFFF"/>'
        '<rect width="620" height="62" fill="url(#band)"/>'
        '<rect y="62" width="620" height="3" fill="#F2B705"/>'
        '<rect y="65" width="146" height="355" fill="url(#side)"/>'
        '<line x1="146" y1="65" x2="146" y2="420" stroke="#D5DDE8" stroke-width="1"/>'
        # two stacked drives as the mark
        '<g transform="translate(18,13)">'
        '<rect width="44" height="16" rx="3" fill="#FFFFFF" fill-opacity="0.92"/>'
        '<rect y="20" width="44" height="16" rx="3" fill="#FFFFFF" fill-opacity="0.92"/>'
        '<circle cx="37" cy="8" r="2.6" fill="#2DB84D"/><circle cx="37" cy="28" r="2.6" '
        'fill="#F2B705"/></g>'
        f'<text x="74" y="40" {FONT} font-size="25" font-weight="bold" fill="#FFFFFF">'
        'RAID GUI</text>'
        # a faint pattern of platters on the right of the band
        '<g fill="none" stroke="#FFFFFF" stroke-opacity="0.18" stroke-width="2">'
        '<circle cx="560" cy="31" r="22"/><circle cx="560" cy="31" r="12"/>'
        '<circle cx="505" cy="31" r="22"/><circle cx="505" cy="31" r="12"/></g>'
        '</svg>\n')


def log_button():
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="48" height="44" viewBox="0 0 48 44">'
        + gradient("g", "#FFFFFF", "#E3E9F1") +
        '<rect x="1" y="1" width="46" height="42" rx="7" fill="url(#g)" stroke="#9AA9BC" '
        'stroke-width="1.5"/>'
        '<path d="M12 7 H29 L36 14 V37 H12 Z" fill="#FFFFFF" stroke="#1D3A5E" stroke-width="1.8" '
        'stroke-linejoin="round"/><path d="M29 7 V14 H36" fill="none" stroke="#1D3A5E" '
        'stroke-width="1.8" stroke-linejoin="round"/>'
        '<g stroke="#1D3A5E" stroke-width="1.8" stroke-linecap="round">'
        '<line x1="16" y1="19" x2="31" y2="19"/><line x1="16" y1="24" x2="31" y2="24"/>'
        '<line x1="16" y1="29" x2="26" y2="29"/></g></svg>\n')


def app_icon():
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">'
        + gradient("g", "#1E5AA8", "#123A6B") +
        '<rect x="2" y="2" width="60" height="60" rx="12" fill="url(#g)"/>'
        '<rect x="12" y="14" width="40" height="15" rx="3" fill="#FFFFFF"/>'
        '<rect x="12" y="35" width="40" height="15" rx="3" fill="#FFFFFF"/>'
        '<circle cx="45" cy="21.5" r="3" fill="#2DB84D"/>'
        '<circle cx="45" cy="42.5" r="3" fill="#F2B705"/></svg>\n')


def clock_picture():
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">'
        '<circle cx="32" cy="32" r="28" fill="#FFFFFF" stroke="#1D3A5E" stroke-width="3"/>'
        '<g stroke="#1D3A5E" stroke-width="2.5" stroke-linecap="round">'
        '<line x1="32" y1="8" x2="32" y2="13"/><line x1="56" y1="32" x2="51" y2="32"/>'
        '<line x1="32" y1="56" x2="32" y2="51"/><line x1="8" y1="32" x2="13" y2="32"/>'
        '<line x1="32" y1="32" x2="32" y2="17"/><line x1="32" y1="32" x2="43" y2="38"/></g>'
        '<circle cx="32" cy="32" r="3" fill="#F2B705"/></svg>\n')


def main():
    pages = [("sts", "Status", "status"), ("setup", "Setup", "setup"),
             ("fwupg", "Upgrade", "upgrade"), ("email", "E-mail", "email"),
             ("smart", "SMART", "smart"), ("about", "About", "about")]
    for name, label, icon in pages:
        for face in FACES:
            write(f"page_{name}_{face}.svg", face_button(124, 36, label, icon, face))
    tabs = [("initialize", "Initialize"), ("schedule", "Schedule"), ("mail_setup", "Setup"),
            ("mail_hddfail", "HDD Fail"), ("mail_devremove", "Device Removed")]
    for name, label in tabs:
        # The longest caption gets a smaller face to stay inside its tab.
        size = 11 if len(label) > 12 else 13
        for face in FACES:
            write(f"tab_{name}_{face}.svg", face_button(112, 28, label, None, face, size))
    for number in (1, 2):
        for face in FACES:
            write(f"device_{number}_{face}.svg", enclosure(number, face))
            write(f"hdd_{number}_{face}.svg",
                  face_button(96, 30, f"HDD{number}", "drive", face, 13))
    buttons = [("load", "Load"), ("upgrade", "Upgrade"), ("set", "Set"), ("test", "Test"),
               ("ok", "OK"), ("ignore", "Ignore"), ("add", "+"), ("remove", "-")]
    for name, label in buttons:
        size = (36, 26) if name in ("add", "remove") else (92, 30)
        write(f"button_{name}.svg", face_button(size[0], size[1], label, None, "white",
                                                18 if size[0] == 36 else 14))
    write("background_raid.svg", background("#123A6B", "#1E5AA8", "#EAF0F7"))
    write("background_oem.svg", background("#3A3A3A", "#6A6A6A", "#F0F0F0"))
    write("log.svg", log_button())
    write("app_icon.svg", app_icon())
    write("clock.svg", clock_picture())


if __name__ == "__main__":
    main()
