#!/usr/bin/python3
"""The manual pages list the same commands and options as the programs' --help texts, and
render without troff warnings."""
import re
import subprocess
import sys
import unittest

OPTION = re.compile(r"--[a-z][a-z-]*")


def help_text(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def options(text):
    return set(OPTION.findall(text)) - {"--help"}


def page_sections(path, level):
    """The page's sections (.SH) or subsections (.SS) by title, as plain text."""
    with open(path, encoding="utf-8") as page:
        source = page.read().replace("\\-", "-")
    sections = {}
    title = None
    for line in source.splitlines():
        if line.startswith(level + " "):
            title = line[len(level) + 1 :].strip('"')
            sections[title] = ""
        elif line.startswith(".SH") or line.startswith(".SS"):
            title = None
        elif title is not None:
            sections[title] += line + "\n"
    return sections


class ManPages(unittest.TestCase):
    def test_cli_page_lists_every_command_with_its_options(self):
        overview = help_text(CLI, "--help")
        commands = re.findall(r"^  (\S+)", overview.split("commands:")[1], re.MULTILINE)
        subsections = page_sections(PAGES + "/zond8t-cli.1", ".SS")
        self.assertEqual(sorted(title.split()[0] for title in subsections), sorted(commands))
        for title, body in subsections.items():
            name = title.split()[0]
            with self.subTest(command=name):
                usage = help_text(CLI, name, "--help")
                self.assertEqual(options(title), options(usage))
                self.assertEqual(options(body), options(usage))

    def test_sim_page_lists_the_options_of_its_help(self):
        usage = help_text(SIM, "--help")
        page = page_sections(PAGES + "/zond-sim.1", ".SH")
        self.assertEqual(options(page["OPTIONS"]), options(usage))

    def test_pages_render_without_warnings(self):
        for name in ("zond8t", "zond8t-cli", "zond-sim"):
            with self.subTest(page=name):
                result = subprocess.run(
                    ["groff", "-man", "-Tutf8", "-K", "utf-8", "-ww", "-z", f"{PAGES}/{name}.1"],
                    capture_output=True, text=True)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stderr, "")


if __name__ == "__main__":
    PAGES, CLI, SIM = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1])
