#!/usr/bin/env python3
"""The help file checker finds each fault of a help project made broken on purpose
(tests/help/broken), compiled with helpc:

  checker_test.py HELPC CHECK_CHM BROKEN_FOLDER"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HELPC, CHECK_CHM, BROKEN = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)


class BrokenHelpTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='tc-broken-help-')
        stage = os.path.join(cls.work, 'roto')
        shutil.copytree(BROKEN, stage)
        build = subprocess.run([HELPC, 'roto.hhp', 'roto.chm'], cwd=stage,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if build.returncode != 0:
            raise AssertionError('helpc failed:\n' + build.stdout)
        cls.result = subprocess.run(
            [sys.executable, CHECK_CHM, os.path.join(stage, 'roto.chm'),
             '--project', os.path.join(stage, 'roto.hhp'), '--source', stage,
             '--context', '5', '--context', '9'],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        cls.faults = [line[len('FAULT: '):] for line in cls.result.stdout.splitlines()
                      if line.startswith('FAULT: ')]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def assertFault(self, text):
        self.assertIn(text, self.faults, '\n' + self.result.stdout)

    def test_fails(self):
        self.assertEqual(self.result.returncode, 1, self.result.stdout)

    def test_mapped_context_resolves(self):
        self.assertIn('context 5 -> inicio.htm', self.result.stdout)
        self.assertFalse([f for f in self.faults if f.startswith('context 5')], self.faults)

    def test_context_missing_from_the_map(self):
        self.assertFault('context 9 is not in the context map (#IVB)')

    def test_page_left_out_of_the_file(self):
        self.assertFault('inicio.htm links "otra.htm", which is not in the help file')
        self.assertFault('the page otra.htm of %s is not in the help file' % os.path.join(
            self.work, 'roto'))

    def test_missing_image_and_stylesheet_image(self):
        self.assertFault('inicio.htm links "imagenes/ventana.png", which is not in the help file')
        self.assertFault('estilo.css links "imagenes/fondo.png", which is not in the help file')

    def test_anchor_and_outside_link(self):
        self.assertFault('inicio.htm links "inicio.htm#abajo": inicio.htm has no anchor "abajo"')
        self.assertFault('inicio.htm links "../fuera.htm", outside the help file')

    def test_contents_entry_without_page(self):
        self.assertFault('roto.hhc links "perdida.htm", which is not in the help file')

    def test_page_not_marked_spanish(self):
        self.assertFault('inicio.htm does not say it is in Spanish (<html lang="es">)')

    def test_nothing_else(self):
        # the same-page anchor and the https: link are fine
        self.assertEqual(len(self.faults), 9, self.faults)


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
