"""Renders a workflow template the way `tarnwick new` does: pypi sections cut (marker lines
always dropped, section bodies dropped when the switch is off), then the seven placeholders
replaced in their fixed order. Shared by the workflow checks."""
import pathlib

OPEN_MARKER = "{{#pypi}}"
CLOSE_MARKER = "{{/pypi}}"

# Unicode White_Space, the set the renderer trims a line by before comparing it to a marker.
WHITE_SPACE = ("\t\n\x0b\x0c\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006"
               "\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000")

SAMPLE = [
    ("{{name_snake}}", "demo_tool"),
    ("{{name_pascal}}", "DemoTool"),
    ("{{name}}", "demo-tool"),
    ("{{description}}", "A ordoval-compliant CLI (demo-tool)."),
    ("{{owner}}", "kestrow"),
    ("{{author}}", "Jo Example <jo@example.com>"),
    ("{{year}}", "2025"),
]


def cut_sections(text, pypi):
    kept = []
    in_section = False
    for line in text.splitlines(keepends=True):
        trimmed = line.strip(WHITE_SPACE)
        if trimmed == OPEN_MARKER:
            in_section = True
        elif trimmed == CLOSE_MARKER:
            in_section = False
        elif not (in_section and not pypi):
            kept.append(line)
    return "".join(kept)


def fill_placeholders(text, values=SAMPLE):
    for token, value in values:
        text = text.replace(token, value)
    return text


def render(template_path, pypi):
    text = pathlib.Path(template_path).read_text(encoding="utf-8")
    return fill_placeholders(cut_sections(text, pypi))
