#!/usr/bin/env python3
"""Reads a built ITACA.chm back with chmlib's extract_chmLib and checks what F1 and the reader
depend on:

- the context map (#IVB, whose entries point at names in #STRINGS): every context of the
  project (contextos.h through the [MAP] and [ALIAS] of the .hhp) and every --context given is
  there and names its [ALIAS] page, stored in the file;
- the default topic (#SYSTEM) and the window's default and home pages (#WINDOWS) are pages of
  the file, and every topic of #URLTBL/#URLSTR (those of the contents and index) is stored,
  with its #fragment;
- every page, stylesheet and image linked from a page, a stylesheet, the contents (.hhc) or
  the index (.hhk) is stored in the file, and a link's #fragment is an id or name of its page;
- every file of [FILES] and every page of the source folder is in the file, and every page
  says it is in Spanish (<html lang="es">).

Exits with 0 when all holds and 1 otherwise, listing each fault on standard output."""

import argparse
import html.parser
import os
import posixpath
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import urllib.parse

PAGE_SUFFIXES = ('.htm', '.html')
LINK_ATTRIBUTES = {
    'a': 'href', 'area': 'href', 'link': 'href', 'img': 'src', 'script': 'src',
    'frame': 'src', 'iframe': 'src', 'embed': 'src', 'object': 'data', 'input': 'src',
}
CSS_URL = re.compile(r'url\(\s*[\'"]?([^\'")]+)[\'"]?\s*\)')
SCHEME = re.compile(r'^[A-Za-z][A-Za-z0-9+.-]*:')


class Archive:
    """The files of a .chm, extracted by chmlib: names as stored ('/index.htm' -> 'index.htm')."""

    def __init__(self, chm, folder):
        result = subprocess.run(['extract_chmLib', chm, folder], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, errors='replace')
        if result.returncode != 0:
            raise SystemExit('extract_chmLib could not read %s:\n%s' % (chm, result.stdout))
        self.folder = folder
        self.names = set()
        for root, _dirs, files in os.walk(folder):
            for name in files:
                relative = os.path.relpath(os.path.join(root, name), folder)
                self.names.add(relative.replace(os.sep, '/'))

    def has(self, name):
        return name in self.names

    def read(self, name):
        with open(os.path.join(self.folder, name), 'rb') as stream:
            return stream.read()


def c_string(data, offset):
    end = data.find(b'\0', offset)
    return data[offset:end if end >= 0 else len(data)].decode('cp1252', errors='replace')


def context_map(archive):
    """#IVB: a DWORD byte count, then pairs of DWORDs (context number, offset in #STRINGS)."""
    if not archive.has('#IVB'):
        return {}
    ivb = archive.read('#IVB')
    strings = archive.read('#STRINGS') if archive.has('#STRINGS') else b''
    (size,) = struct.unpack_from('<I', ivb, 0)
    pairs = {}
    for position in range(4, min(4 + size, len(ivb)) - 7, 8):
        number, offset = struct.unpack_from('<II', ivb, position)
        pairs[number] = c_string(strings, offset)
    return pairs


def system_entries(archive):
    """#SYSTEM: a DWORD version, then entries (WORD code, WORD length, data)."""
    entries = {}
    if not archive.has('#SYSTEM'):
        return entries
    data = archive.read('#SYSTEM')
    position = 4
    while position + 4 <= len(data):
        code, length = struct.unpack_from('<HH', data, position)
        entries[code] = data[position + 4:position + 4 + length]
        position += 4 + length
    return entries


def window_pages(archive):
    """#WINDOWS: entry count and entry size, then HH_WINTYPE records whose pszFile and pszHome
    (offsets 0x68 and 0x6C) point into #STRINGS."""
    if not archive.has('#WINDOWS'):
        return []
    data = archive.read('#WINDOWS')
    strings = archive.read('#STRINGS') if archive.has('#STRINGS') else b''
    count, size = struct.unpack_from('<II', data, 0)
    pages = []
    for index in range(count):
        base = 8 + index * size
        name = c_string(strings, struct.unpack_from('<I', data, base + 8)[0])
        for field, offset in (('default page', 0x68), ('home page', 0x6C)):
            (where,) = struct.unpack_from('<I', data, base + offset)
            if where:
                pages.append(('window "%s" %s' % (name, field), c_string(strings, where)))
    return pages


def topic_urls(archive):
    """#URLTBL: records of 12 bytes whose third DWORD is an offset in #URLSTR, where a record
    holds two DWORDs and the topic's local name."""
    if not archive.has('#URLTBL') or not archive.has('#URLSTR'):
        return []
    table = archive.read('#URLTBL')
    urls = archive.read('#URLSTR')
    return [c_string(urls, struct.unpack_from('<III', table, position)[2] + 8)
            for position in range(0, len(table) - 11, 12)]


class PageParser(html.parser.HTMLParser):
    """Links, anchors and the language of an HTML page or a sitemap (.hhc, .hhk)."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []
        self.anchors = set()
        self.language = None
        self.styles = []
        self._in_style = False

    def handle_starttag(self, tag, attrs):
        values = dict(attrs)
        if tag == 'html':
            self.language = values.get('lang')
        for key in ('id', 'name'):
            if values.get(key) and tag != 'param' and tag != 'meta':
                self.anchors.add(values[key])
        wanted = LINK_ATTRIBUTES.get(tag)
        if wanted and values.get(wanted):
            self.links.append(values[wanted])
        if tag == 'param' and (values.get('name') or '').lower() == 'local' and values.get('value'):
            self.links.append(values['value'])
        if values.get('style'):
            self.styles.append(values['style'])
        self._in_style = tag == 'style'

    def handle_endtag(self, tag):
        if tag == 'style':
            self._in_style = False

    def handle_data(self, data):
        if self._in_style:
            self.styles.append(data)


def decode(data):
    try:
        return data.decode('utf-8')
    except UnicodeDecodeError:
        return data.decode('cp1252', errors='replace')


def parse(archive, name):
    parser = PageParser()
    parser.feed(decode(archive.read(name)))
    parser.close()
    return parser


def read_project(hhp):
    """The .hhp's [FILES], and its contexts: {number: (name, page)} from [MAP] (with its
    #include files) and [ALIAS]."""
    folder = os.path.dirname(hhp)
    sections = {}
    current = None
    with open(hhp, encoding='cp1252') as stream:
        for line in stream:
            line = line.strip()
            if line.startswith('[') and line.endswith(']'):
                current = line[1:-1].upper()
                sections[current] = []
            elif current and line and not line.startswith(';'):
                sections[current].append(line)

    def defines(lines):
        numbers = {}
        for line in lines:
            include = re.match(r'#include\s+(\S+)', line, re.IGNORECASE)
            if include:
                with open(os.path.join(folder, include.group(1)), encoding='cp1252') as stream:
                    numbers.update(defines(stream.read().splitlines()))
                continue
            define = re.match(r'#define\s+(\w+)\s+(\d+)', line.strip(), re.IGNORECASE)
            if define:
                numbers[define.group(1)] = int(define.group(2))
        return numbers

    aliases = {}
    for line in sections.get('ALIAS', []):
        key, _, value = line.partition('=')
        aliases[key.strip()] = value.strip().replace('\\', '/')
    contexts = {number: (name, aliases.get(name))
                for name, number in defines(sections.get('MAP', [])).items()}
    files = [line.replace('\\', '/') for line in sections.get('FILES', [])]
    return files, contexts


class Checker:
    def __init__(self, archive):
        self.archive = archive
        self.faults = []
        self.anchor_cache = {}

    def fault(self, text):
        self.faults.append(text)

    def anchors(self, name):
        if name not in self.anchor_cache:
            self.anchor_cache[name] = parse(self.archive, name).anchors
        return self.anchor_cache[name]

    def check_link(self, source, link):
        """A link of `source` (a stored file) leads to a stored file, and to an anchor of it."""
        link = link.strip()
        if not link or SCHEME.match(link):
            return  # http:, mailto:, javascript: ... are outside the file by design
        target, _, fragment = link.partition('#')
        target = urllib.parse.unquote(target)
        if target:
            name = posixpath.normpath(posixpath.join(posixpath.dirname(source), target))
            if name.startswith('../') or name.startswith('/'):
                self.fault('%s links "%s", outside the help file' % (source, link))
                return
            if not self.archive.has(name):
                self.fault('%s links "%s", which is not in the help file' % (source, link))
                return
        else:
            name = source
        if fragment and name.lower().endswith(PAGE_SUFFIXES):
            if fragment not in self.anchors(name):
                self.fault('%s links "%s": %s has no anchor "%s"' % (source, link, name, fragment))

    def check_page_name(self, what, name):
        stored = name[1:] if name.startswith('/') else name
        if not stored.lower().endswith(PAGE_SUFFIXES) or not self.archive.has(stored):
            self.fault('%s is "%s", which is not a page of the help file' % (what, name))
            return None
        return stored


def main():
    arguments = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    arguments.add_argument('chm', help='the built help file')
    arguments.add_argument('--project', required=True, help='the .hhp the file was built from')
    arguments.add_argument('--source', action='append', default=[],
                           help='a folder whose pages must all be in the file (repeatable)')
    arguments.add_argument('--context', type=int, action='append', default=[],
                           help='a context number the program asks for (repeatable)')
    options = arguments.parse_args()

    if shutil.which('extract_chmLib') is None:
        raise SystemExit('extract_chmLib (libchm-bin) is not installed')
    files, contexts = read_project(options.project)

    with tempfile.TemporaryDirectory(prefix='tc-chm-') as folder:
        archive = Archive(options.chm, folder)
        check = Checker(archive)

        # The context map.
        mapped = context_map(archive)
        for number in sorted(set(contexts) | set(options.context)):
            name, page = contexts.get(number, (None, None))
            if number not in mapped:
                check.fault('context %d is not in the context map (#IVB)' % number)
                continue
            stored = check.check_page_name('context %d' % number, mapped[number])
            if stored is not None and page is not None and stored != page:
                check.fault('context %d (%s) opens %s instead of %s' % (number, name, stored, page))
            if page is None:
                check.fault('context %d has no [MAP] and [ALIAS] entry in %s'
                            % (number, options.project))
            print('context %d -> %s' % (number, mapped[number]))

        # The pages the window starts with, and the topics of the binary index and contents.
        system = system_entries(archive)
        if 2 in system:
            check.check_page_name('the default topic (#SYSTEM)', c_string(system[2], 0))
        for what, page in window_pages(archive):
            check.check_page_name(what, page)
        for url in topic_urls(archive):
            check.check_link('#URLSTR', url[1:] if url.startswith('/') else url)

        # Links of the pages, stylesheets, contents and index.
        links = 0
        sitemaps = [c_string(system[code], 0) for code in (0, 1) if code in system]
        for name in sorted(archive.names):
            lower = name.lower()
            if lower.endswith(PAGE_SUFFIXES) or name in sitemaps:
                page = parse(archive, name)
                found = page.links + [url for style in page.styles
                                      for url in CSS_URL.findall(style)]
                if lower.endswith(PAGE_SUFFIXES) and page.language != 'es':
                    check.fault('%s does not say it is in Spanish (<html lang="es">)' % name)
            elif lower.endswith('.css'):
                found = CSS_URL.findall(decode(archive.read(name)))
            else:
                continue
            for link in found:
                check.check_link(name, link)
            links += len(found)
        for sitemap in sitemaps:
            if not archive.has(sitemap):
                check.fault('the contents or index file %s is not in the help file' % sitemap)

        # What the project and the source folders hold.
        for name in files:
            if not archive.has(name):
                check.fault('%s of [FILES] is not in the help file' % name)
        for source in options.source:
            for name in sorted(os.listdir(source)):
                if name.lower().endswith(PAGE_SUFFIXES) and not archive.has(name):
                    check.fault('the page %s of %s is not in the help file' % (name, source))

        pages = sum(1 for name in archive.names if name.lower().endswith(PAGE_SUFFIXES))
        print('%d pages, %d files, %d links checked' % (pages, len(archive.names), links))
        for text in check.faults:
            print('FAULT: ' + text)
        if not check.faults:
            print('help file checked: no faults')
        return 1 if check.faults else 0


if __name__ == '__main__':
    sys.exit(main())
