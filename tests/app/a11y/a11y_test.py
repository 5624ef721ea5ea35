#!/usr/bin/env python3
"""The desktop program driven from outside, as a person would: the real program on an X server
(Xvfb), its windows found through the accessibility tree (AT-SPI) by role and name, its buttons
pressed, its texts read. Each test starts the program from a folder of its own, with Clepsa's
working folder and a copy of the sample school beside it.

Usage: a11y_test.py PROGRAM SOURCE_DIR CLI
Exits 77 (skipped) when this machine has no AT-SPI, Xvfb, D-Bus or xclip."""
import ctypes
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SKIPPED = 77
ARGUMENTS = sys.argv[1:]
PROGRAM, SOURCE_DIR, CLI = map(pathlib.Path, ARGUMENTS[:3])
del sys.argv[1:4]  # the rest is unittest's
sys.path.insert(0, str(SOURCE_DIR / "tests" / "tools"))
import dbf_dump  # noqa: E402


def missing():
    """What this machine lacks for these tests, or None."""
    for tool in ("Xvfb", "xwininfo", "dbus-run-session", "xclip"):
        if shutil.which(tool) is None:
            return tool
    if not os.path.exists("/usr/share/dbus-1/services/org.a11y.Bus.service"):
        return "at-spi2-core"
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError):
        return "python3-gi, gir1.2-atspi-2.0"
    return None


if __name__ == "__main__":
    if (lack := missing()) is not None:
        print("skipped: no " + lack)
        sys.exit(SKIPPED)
    # An X server and a session bus of our own; the accessibility bus and its registry, which
    # types the keys, are started from that bus and must know the display.
    if "TC_A11Y_DISPLAY" not in os.environ:
        server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                                   "-nolisten", "tcp"], stdout=subprocess.PIPE)
        display = ":" + server.stdout.readline().decode().strip()
        status = subprocess.run(
            ["dbus-run-session", "--", sys.executable, __file__, *ARGUMENTS],
            env=dict(os.environ, DISPLAY=display, TC_A11Y_DISPLAY=display)).returncode
        server.kill()
        server.wait()
        sys.exit(status)

import gi  # noqa: E402
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

Role = Atspi.Role
ESCAPE, F1 = 0xFF1B, 0xFFBE  # X key symbols
Atspi.get_desktop(0).set_cache_mask(Atspi.Cache.NONE)  # every look asks the program


def wait(what, probe, timeout=30):
    """probe()'s first true answer; a failure when none comes in time."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            found = probe()
        except GLib.Error:  # a window closing under the look
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.02)


def showing(node):
    return node is not None and node.get_state_set().contains(Atspi.StateType.SHOWING)


def shown(node):
    """The node and what it shows, depth first."""
    stack = [node]
    while stack:
        node = stack.pop()
        if showing(node):
            yield node
            stack.extend(reversed([node.get_child_at_index(i)
                                   for i in range(node.get_child_count())]))


def find(window, role, name=None):
    return wait(f"{role.value_nick} {name!r}", lambda: next(
        (n for n in shown(window) if n.get_role() == role and name in (None, n.get_name())), None))


def text(node):
    # Qt gives line breaks inside a text box as paragraph separators.
    return Atspi.Text.get_text(node, 0, -1).replace("\u2029", "\n")


def press(window, name):
    find(window, Role.PUSH_BUTTON, name).do_action(0)


def tables(folder):
    """Every file of Clepsa's working folder but the program's own, by name, with its bytes."""
    return {p.name: p.read_bytes() for p in folder.iterdir() if p.is_file()}


class ClientMessage(ctypes.Structure):  # Xlib's XClientMessageEvent, padded to an XEvent
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


class Program:
    """The real program run from programa/ (where its settings and help file go), with ZTEMP/ as
    Clepsa's working folder and centro.xml as the ITACA file; no help viewer or browser on its
    PATH."""

    def __init__(self, test, convert_first=False):
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="tc_a11y_"))
        test.addCleanup(shutil.rmtree, self.root)
        self.ztemp, self.xml = self.root / "ZTEMP", self.root / "centro.xml"
        (self.root / "programa").mkdir()
        (self.root / "vacia").mkdir()
        self.ztemp.mkdir()
        shutil.copy(SOURCE_DIR / "examples" / "ies_exemple.xml", self.xml)
        shutil.copy(PROGRAM, self.root / "programa" / "TransClepsaItaca")
        if convert_first:  # tables to put back, with their report kept in backup 1
            subprocess.run([CLI, "convert", self.xml, "--data-dir", self.ztemp, "--language",
                            "CASTELLANO", "-q"], check=True)
        environment = {key: os.environ[key] for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
        environment.update(HOME=str(self.root), PATH=str(self.root / "vacia"), LANG="C.UTF-8",
                           XDG_RUNTIME_DIR=str(self.root), TRANSCLEPSA_ZTEMP=str(self.ztemp),
                           QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.process = subprocess.Popen([self.root / "programa" / "TransClepsaItaca"],
                                        env=environment, cwd=self.root)
        test.addCleanup(self.process.wait)
        test.addCleanup(self.process.kill)
        desktop = Atspi.get_desktop(0)
        self.app = wait("the program", lambda: next(
            (a for a in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count()))
             if a is not None and a.get_process_id() == self.process.pid
             and a.get_child_count() > 0), None))
        self.main = self.window("Exportar e importar datos entre Clepsa e ITACA")

    def window(self, title, holding=""):
        """The window of that title that is shown, with a control whose name holds `holding`."""
        def look():
            for i in range(self.app.get_child_count()):
                window = self.app.get_child_at_index(i)
                if showing(window) and window.get_name() == title and any(
                        holding in n.get_name() for n in shown(window)):
                    return window
        return wait(f"window {title!r} with {holding!r}", look)

    def gone(self, window):
        wait(f"{window.get_name()!r} to close", lambda: not showing(window))

    def box(self, holding):
        """A message box, a question or "Proceso finalizado" (all of them "TransClepsaItaca")."""
        return self.window("TransClepsaItaca", holding)

    def message(self, window):
        return "\n".join(n.get_name() for n in shown(window) if n.get_role() == Role.LABEL)

    def choose_file(self, title, file, button):
        dialog = self.window(title)
        Atspi.EditableText.set_text_contents(find(dialog, Role.TEXT), str(file))
        press(dialog, button)
        self.gone(dialog)

    def key(self, control, symbol):
        """The key typed with `control` focused (its window the X server's focus too)."""
        control.grab_focus()
        wait("the focus", lambda: control.get_state_set().contains(Atspi.StateType.FOCUSED))
        Atspi.generate_keyboard_event(symbol, None, Atspi.KeySynthType.SYM)

    def situation(self):
        return next(n.get_name() for n in shown(self.main)
                    if n.get_role() == Role.LABEL and n.get_name().startswith("Carpeta de"))

    def close_box(self, window):
        """The window's close box: the message that a window manager sends (there is none here)
        to the one X window shown with its title."""
        listed = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True,
                                text=True, check=True).stdout
        ids = [int(match, 16) for match in re.findall(
            r"^ +(0x[0-9a-f]+) \"%s\"" % re.escape(window.get_name()), listed, re.M)]
        ids = [i for i in ids if "IsViewable" in subprocess.run(
            ["xwininfo", "-id", str(i)], capture_output=True, text=True).stdout]
        assert len(ids) == 1, listed
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = (ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int)
        x.XSendEvent.argtypes = (ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                 ctypes.c_void_p)
        x.XCloseDisplay.argtypes = (ctypes.c_void_p,)
        display = x.XOpenDisplay(None)
        event = ClientMessage(type=33, window=ids[0], format=32,  # ClientMessage
                              message_type=x.XInternAtom(display, b"WM_PROTOCOLS", 0))
        event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        x.XSendEvent(display, ids[0], 0, 0, ctypes.byref(event))
        x.XCloseDisplay(display)  # sends it
        self.gone(window)

    def escape(self, window):
        # With the focus on "Sí": Escape answers No all the same.
        self.key(find(window, Role.PUSH_BUTTON, "S\u00ed"), ESCAPE)
        self.gone(window)


def rows(table):
    _, _, records, problems = dbf_dump.read(table)
    assert not problems, (table, problems)
    return sum(not deleted for deleted, _ in records)


class Windows(unittest.TestCase):
    def test_a_conversion_sums_up_its_tables_and_is_put_back_byte_for_byte(self):
        program = Program(self, convert_first=True)
        before = tables(program.ztemp)
        self.assertRegex(program.situation(), (
            f"^Carpeta de trabajo: {program.ztemp}\n\u00daltima conversi\u00f3n: 46999901 IES "
            "Mestra Vicenta Forner, centro.xml, plantilla MATI, [-0-9]+ [:0-9]+\n"))
        press(program.main, "Transformar datos desde ITACA hacia Clepsa")
        program.choose_file("Archivo XML", program.xml, "Abrir")
        press(program.window("Plantillas Horarias"), "Continuar")
        press(program.box("de todas las Plantillas?"), "No")
        press(program.box("quitar dichos Grupos y Profesores"), "S\u00ed")
        question = program.box("antes de sustituir las tablas de la carpeta de trabajo?")
        find(question, Role.CHECK_BOX, "No volver a preguntar").do_action(0)
        press(question, "S\u00ed")
        preview = program.window("Cambios en las tablas de Clepsa")
        self.assertIn("PROFT", text(find(preview, Role.TEXT, "Cambios en las tablas de Clepsa")))
        press(preview, "Sustituir las tablas")

        finished = program.box("Proceso finalizado")
        summary = text(find(finished, Role.TEXT, "Resumen"))
        written = dict(re.findall(r"^  (\w+) +(\d+) filas?$", summary, re.M))
        self.assertEqual(sorted(written), sorted(
            ["PROFT", "CURSOST", "GRUPOST", "ASIGNOMT", "AULAT", "ASIGT", "DIASHORAST"]), summary)
        for table, count in written.items():
            self.assertEqual(rows(program.ztemp / (table + ".DBF")), int(count), table)
        self.assertIn("Idioma: VALENCI\u00c1\n", summary)
        converted = tables(program.ztemp)
        self.assertNotEqual(converted, before)

        # "Deshacer" asks first; Escape answers No.
        press(finished, "Deshacer")
        confirmation = program.box("\u00bfReponer la copia de seguridad 2?")
        program.escape(confirmation)
        self.assertEqual(tables(program.ztemp), converted)
        ask = find(program.main, Role.CHECK_BOX, "Preguntar antes de sustituir las tablas")
        self.assertFalse(ask.get_state_set().contains(Atspi.StateType.CHECKED))  # not asked again

        # "Reponer" in "Copias de seguridad", the newest first, "Sí" to its question.
        press(program.main, "Copias de seguridad")
        backups = program.window("Copias de seguridad", "La copia elegida")
        listed = find(backups, Role.LIST, "Copias de seguridad")
        self.assertEqual(listed.get_child_count(), 2)
        self.assertIn("Copia 2,", text(find(backups, Role.TEXT, "La copia elegida")))
        press(backups, "Reponer")
        program.close_box(program.box("\u00bfReponer la copia de seguridad 2?"))
        self.assertEqual(tables(program.ztemp), converted)
        press(backups, "Reponer")
        press(program.box("\u00bfReponer la copia de seguridad 2?"), "S\u00ed")
        press(program.box("Repuesta la copia 2 "), "Aceptar")
        self.assertEqual(tables(program.ztemp), before)
        wait("the third backup listed", lambda: listed.get_child_count() == 3)
        press(backups, "Cerrar")
        program.gone(backups)

    def test_the_report_is_copied_and_saved_as_shown(self):
        program = Program(self, convert_first=True)
        press(program.main, "Copias de seguridad")
        backups = program.window("Copias de seguridad", "La copia elegida")
        press(backups, "Ver informe")  # no browser: the report's text in a window
        window = program.window("Informe de la ejecuci\u00f3n")
        report = text(find(window, Role.TEXT, "Informe de la ejecuci\u00f3n"))
        kept = program.ztemp / "TransClepsaItaca" / "copias" / "0001" / "informe.txt"
        self.assertEqual(report, kept.read_text(encoding="utf-8"))

        press(window, "Copiar")
        clipboard = ["xclip", "-o", "-selection", "clipboard"]
        wait("the report on the clipboard", lambda: subprocess.run(
            clipboard, capture_output=True, timeout=5).stdout.decode() == report)

        saved = program.root / "informe guardado.txt"
        press(window, "Guardar\u2026")
        program.choose_file("Guardar como", saved, "Guardar")
        self.assertEqual(saved.read_bytes(), report.encode())
        press(window, "Cerrar")
        program.gone(window)
        self.assertTrue(showing(backups))

    def test_help_without_a_viewer_says_that_its_file_is_missing_or_how_to_open_it(self):
        program = Program(self)
        help_file = program.root / "programa" / "ITACA.chm"
        # F1 in a window of the program (the main window is not the X server's focus: no window
        # manager makes it so).
        press(program.main, "Copias de seguridad")
        backups = program.window("Copias de seguridad", "La copia elegida")
        program.key(find(backups, Role.PUSH_BUTTON, "Cerrar"), F1)
        box = program.box("No se encuentra el archivo de ayuda")
        self.assertEqual(program.message(box), (
            f"No se encuentra el archivo de ayuda {help_file}.\n\nSe instala junto al programa: "
            "vuelva a instalarlo, o copie ITACA.chm en la carpeta del programa."))
        press(box, "Aceptar")
        program.gone(box)
        press(backups, "Cerrar")
        program.gone(backups)

        help_file.write_bytes(b"ITSF")
        press(program.main, "F1 Ayuda")
        box = program.box("ning\u00fan programa que muestre la ayuda")
        self.assertEqual(program.message(box), (
            f"No hay en este sistema ning\u00fan programa que muestre la ayuda ({help_file}).\n\n"
            "Instale el visor de archivos CHM xchm (en Debian o Ubuntu: sudo apt install xchm) o "
            "kchmviewer, y pulse otra vez \"F1 Ayuda\"; o abra ese archivo con el visor de "
            "archivos CHM que tenga."))
        press(box, "Aceptar")
        program.gone(box)


if __name__ == "__main__":
    unittest.main()
