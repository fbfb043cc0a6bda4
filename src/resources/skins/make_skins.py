# Writes the SVG skins of the sliders, buttons and delay marker into this folder.
# Run it after changing a colour or a size; the SVGs are what the build uses.
import os
out = os.path.dirname(os.path.abspath(__file__))
os.makedirs(out, exist_ok=True)

def svg(w, h, body, defs=''):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" viewBox="0 0 {w} {h}">\n'
            + (f'<defs>\n{defs}</defs>\n' if defs else '') + body + '</svg>\n')

def lin(id, stops, x1=0, y1=0, x2=0, y2=1):
    s = ''.join(f'<stop offset="{o}" stop-color="{c}"/>' for o, c in stops)
    return f'<linearGradient id="{id}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}">{s}</linearGradient>\n'

GROOVE = lin('groove', [(0, '#27303b'), (1, '#4b5866')])
LIT_H = lin('lit', [(0, '#0b8fd6'), (1, '#3fd0ff')], 0, 0, 1, 0)
LIT_V = lin('lit', [(0, '#3fd0ff'), (1, '#0b8fd6')], 0, 0, 0, 1)

def ticks(positions, fixed_from, fixed_to, vertical, colour, majors):
    s = ''
    for k, p in enumerate(positions):
        ip = int(p)
        major = k in majors
        a, b = (fixed_from, fixed_to) if major else (fixed_from + 1, fixed_to - 1)
        if vertical:
            s += f'<rect x="{a}" y="{ip}" width="{b - a}" height="1" fill="{colour}"/>\n'
        else:
            s += f'<rect x="{ip}" y="{a}" width="1" height="{b - a}" fill="{colour}"/>\n'
    return s

def horizontal(name, w, lm, rm, thumb_w=19):
    travel = w - thumb_w - lm - rm
    centres = [lm + thumb_w / 2 + travel * k / 10 for k in range(11)]
    gx0, gx1 = lm + 2, w - rm - 2
    base = (f'<rect x="{gx0 - 0.5}" y="5.5" width="{gx1 - gx0 + 1}" height="5" rx="2.5" fill="#ffffff" opacity="0.9"/>\n'
            f'<rect x="{gx0}" y="6" width="{gx1 - gx0}" height="3.5" rx="1.75" fill="url(#groove)"/>\n')
    for lit in (False, True):
        tick_col = '#1c93d8' if lit else '#93a3b3'
        body = base
        if lit:
            body += f'<rect x="{gx0}" y="6" width="{gx1 - gx0}" height="3.5" rx="1.75" fill="url(#lit)"/>\n'
            body += f'<rect x="{gx0 + 1}" y="6.3" width="{gx1 - gx0 - 2}" height="1" rx="0.5" fill="#ffffff" opacity="0.45"/>\n'
        body += ticks(centres, 14, 20, False, tick_col, {0, 5, 10})
        fn = f'slider_{"fill" if lit else "track"}_{name}.svg'
        open(os.path.join(out, fn), 'w').write(svg(w, 22, body, GROOVE + (LIT_H if lit else '')))

def vertical(name, w, h, lm, tm, bm, thumb_w, thumb_h, both_sides):
    travel = h - thumb_h - tm - bm
    centres = [tm + thumb_h / 2 + travel * k / 10 for k in range(11)]
    cx = lm + thumb_w / 2
    gy0, gy1 = tm + 3, h - bm - 3
    base = (f'<rect x="{cx - 2.5}" y="{gy0 - 0.5}" width="5" height="{gy1 - gy0 + 1}" rx="2.5" fill="#ffffff" opacity="0.9"/>\n'
            f'<rect x="{cx - 1.75}" y="{gy0}" width="3.5" height="{gy1 - gy0}" rx="1.75" fill="url(#groove)"/>\n')
    for lit in (False, True):
        tick_col = '#1c93d8' if lit else '#93a3b3'
        body = base
        if lit:
            body += f'<rect x="{cx - 1.75}" y="{gy0}" width="3.5" height="{gy1 - gy0}" rx="1.75" fill="url(#lit)"/>\n'
        if both_sides:
            body += ticks(centres, 0, 5, True, tick_col, {0, 5, 10})
            body += ticks(centres, w - 5, w, True, tick_col, {0, 5, 10})
        else:
            body += ticks(centres, w - 8, w - 2, True, tick_col, {0, 5, 10})
        fn = f'slider_{"fill" if lit else "track"}_{name}.svg'
        open(os.path.join(out, fn), 'w').write(svg(w, h, body, GROOVE + (LIT_V if lit else '')))

horizontal('long_h', 131, 7, 7)
horizontal('short_h', 100, 3, 3)
vertical('long_v', 22, 131, 3, 7, 7, 9, 19, False)
vertical('tall_v', 28, 140, 6, 13, 12, 16, 34, True)

THUMB_LOOKS = {
    '': ('#ffffff', '#c3ced9', '#3f4d5c', '#1a8fd6'),
    '_focus': ('#f2fbff', '#8fd3fa', '#0a6fb4', '#064f86'),
    '_disabled': ('#eceff2', '#d2d8de', '#a9b2bb', '#a9b2bb'),
}

for suffix, (top, bottom, stroke, mark) in THUMB_LOOKS.items():
    # Horizontal travel: 19 x 9 lozenge with an upright centre mark.
    g = lin('cap', [(0, top), (1, bottom)])
    body = (f'<rect x="0.5" y="0.5" width="18" height="8" rx="2.5" fill="url(#cap)" stroke="{stroke}" stroke-width="1"/>\n'
            f'<rect x="8.5" y="2" width="2" height="5" rx="0.5" fill="{mark}"/>\n')
    open(os.path.join(out, f'slider_thumb_h{suffix}.svg'), 'w').write(svg(19, 9, body, g))
    g = lin('cap', [(0, top), (1, bottom)], 0, 0, 1, 0)
    body = (f'<rect x="0.5" y="0.5" width="8" height="18" rx="2.5" fill="url(#cap)" stroke="{stroke}" stroke-width="1"/>\n'
            f'<rect x="2" y="8.5" width="5" height="2" rx="0.5" fill="{mark}"/>\n')
    open(os.path.join(out, f'slider_thumb_v{suffix}.svg'), 'w').write(svg(9, 19, body, g))
    # Fader cap 16 x 34 with grip lines and a centre mark.
    g = lin('cap', [(0, top), (0.5, bottom), (1, top)], 0, 0, 0, 1)
    body = f'<rect x="0.5" y="0.5" width="15" height="33" rx="3" fill="url(#cap)" stroke="{stroke}" stroke-width="1"/>\n'
    for y in (6, 9, 12, 22, 25, 28):
        body += f'<rect x="3" y="{y}" width="10" height="1" fill="{stroke}" opacity="0.45"/>\n'
    body += f'<rect x="2" y="16" width="12" height="2" rx="0.5" fill="{mark}"/>\n'
    open(os.path.join(out, f'slider_thumb_tall{suffix}.svg'), 'w').write(svg(16, 34, body, g))

# Navigation and selector buttons, 161 x 39.
BUTTONS = {
    'button_std': ('#4f6a86', '#2c4157', '#1b2a39', None),
    'button_std2': ('#3b8796', '#1f5865', '#143e48', None),
    'button_alt': ('#45b4f7', '#156fc0', '#0b4f8f', '#9eeaff'),
}
for name, (top, bottom, border, accent) in BUTTONS.items():
    g = lin('face', [(0, top), (1, bottom)])
    body = (f'<rect x="0.5" y="0.5" width="160" height="38" rx="6" fill="url(#face)" stroke="{border}" stroke-width="1"/>\n'
            f'<rect x="2" y="1.5" width="157" height="17" rx="5" fill="#ffffff" opacity="0.10"/>\n'
            f'<rect x="6" y="1.5" width="149" height="1" fill="#ffffff" opacity="0.35"/>\n')
    if accent:
        body += f'<rect x="12" y="33" width="137" height="3" rx="1.5" fill="{accent}"/>\n'
    open(os.path.join(out, f'{name}.svg'), 'w').write(svg(161, 39, body, g))

# Delay marker, 25 x 22: a tag pointing left; its tip sits where the panel draws the
# marker's guide line (16 px below the image top).
g = lin('tag', [(0, '#ffffff'), (1, '#c9d2db')])
body = ('<path d="M0.8,16 L8.5,10.5 L23.5,10.5 Q24.5,10.5 24.5,11.5 L24.5,20.5 Q24.5,21.5 23.5,21.5 L8.5,21.5 Z" '
        'fill="url(#tag)" stroke="#1b232c" stroke-width="1" stroke-linejoin="round"/>\n'
        '<rect x="12" y="13.5" width="9" height="1" fill="#1b232c" opacity="0.5"/>\n'
        '<rect x="12" y="15.5" width="9" height="1" fill="#1b232c" opacity="0.5"/>\n'
        '<rect x="12" y="17.5" width="9" height="1" fill="#1b232c" opacity="0.5"/>\n')
open(os.path.join(out, 'delay_marker.svg'), 'w').write(svg(25, 22, body, g))
print(sorted(os.listdir(out)))
