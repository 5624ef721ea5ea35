#!/usr/bin/env python3
"""Writes the sample ITACA document of a fictional secondary school, IES Mestra Vicenta Forner.

The school, its people and its codes are invented for this project. It has 40 teachers and 12
groups: ten ESO groups that attend in the morning (time template MATI, periods 1 to 7) and two
Bachillerato groups that attend in the afternoon (time template VESPRA, periods 8 to 13). Names
come in Valencian and Castilian, with accents, and the timetables are free of clashes: no group,
teacher or room is in two places at once. A few irregular cases that real data has are there on
purpose:

  - two shared pairings: 1ESOA's mathematics and 2ESOA's Castilian each have a second teacher
    (support) in part of their lessons;
  - religion and its alternative are taught to the same group at the same time by two teachers;
  - the philosophy teacher teaches only in the afternoon, so a conversion of the morning template
    finds her without lessons; the counsellor has duties only;
  - two teachers share their initials (GMJ); two duties share the last three digits of their code;
  - group 3ESOB has no main tutor, only a second one; one teacher has no first e-mail address.

The output is deterministic. Usage: make_sample_school.py [OUTPUT.xml]
(default: ies_exemple.xml beside this script).
"""
import os
import random
import sys
from xml.sax.saxutils import quoteattr

DAYS = ["L", "M", "X", "J", "V"]

# Time templates: code, Valencian and Castilian description, shift, periods (order, from, to).
TEMPLATES = [
    ("MATI", "Horari de matí", "Horario de mañana", "M",
     [(1, "08:00", "08:55"), (2, "08:55", "09:50"), (3, "09:50", "10:45"), (4, "11:15", "12:10"),
      (5, "12:10", "13:05"), (6, "13:05", "14:00"), (7, "14:00", "14:55")]),
    ("VESPRA", "Horari de vesprada", "Horario de tarde", "V",
     [(8, "15:00", "15:55"), (9, "15:55", "16:50"), (10, "16:50", "17:45"), (11, "18:05", "19:00"),
      (12, "19:00", "19:55"), (13, "19:55", "20:50")]),
]

TEACHINGS = [("3012", "ESO"), ("3020", "BAT")]

# Courses: code, short name (its first character is the course number), teaching, template.
COURSES = [
    ("301201", "1ESO", "3012", "MATI"), ("301202", "2ESO", "3012", "MATI"),
    ("301203", "3ESO", "3012", "MATI"), ("301204", "4ESO", "3012", "MATI"),
    ("302001", "1BAT", "3020", "VESPRA"), ("302002", "2BAT", "3020", "VESPRA"),
]

# Groups: code, name, course code, home room.
GROUPS = [
    ("1ESOA", "1r ESO A", "301201", "A101"), ("1ESOB", "1r ESO B", "301201", "A102"),
    ("1ESOC", "1r ESO C", "301201", "A103"), ("2ESOA", "2n ESO A", "301202", "A104"),
    ("2ESOB", "2n ESO B", "301202", "A105"), ("2ESOC", "2n ESO C", "301202", "A106"),
    ("3ESOA", "3r ESO A", "301203", "A201"), ("3ESOB", "3r ESO B", "301203", "A202"),
    ("4ESOA", "4t ESO A", "301204", "A203"), ("4ESOB", "4t ESO B", "301204", "A204"),
    ("1BATA", "1r Batxillerat A", "302001", "A101"), ("2BATA", "2n Batxillerat A", "302002", "A102"),
]

ROOMS = [
    ("A101", "Aula 1.01"), ("A102", "Aula 1.02"), ("A103", "Aula 1.03"), ("A104", "Aula 1.04"),
    ("A105", "Aula 1.05"), ("A106", "Aula 1.06"), ("A201", "Aula 2.01"), ("A202", "Aula 2.02"),
    ("A203", "Aula 2.03"), ("A204", "Aula 2.04"),
    ("LABFQ", "Laboratori de Física i Química"), ("LABBG", "Laboratori de Biologia i Geologia"),
    ("GIMNAS", "Gimnàs"), ("PISTA", "Pista poliesportiva"), ("MUSICA", "Aula de Música"),
    ("DIBUIX", "Aula de Dibuix"), ("TALLER", "Taller de Tecnologia"),
    ("INFO1", "Aula d'Informàtica"), ("DESD1", "Aula de desdoblament 1"),
    ("DESD2", "Aula de desdoblament 2"), ("BIBLIO", "Biblioteca"),
]

# Subjects: key, Valencian name, Castilian name, department, rooms it is taught in (None: the
# group's own room).
SUBJECTS = {
    "CAS": ("Llengua Castellana i Literatura", "Lengua Castellana y Literatura", "CAS", None),
    "VAL": ("Valencià: Llengua i Literatura", "Valenciano: Lengua y Literatura", "VAL", None),
    "ANG": ("Anglés", "Inglés", "ANG", None),
    "MAT": ("Matemàtiques", "Matemáticas", "MAT", None),
    "GEH": ("Geografia i Història", "Geografía e Historia", "GEH", None),
    "HES": ("Història d'Espanya", "Historia de España", "GEH", None),
    "BIG": ("Biologia i Geologia", "Biología y Geología", "BIG", ["LABBG"]),
    "BIO": ("Biologia", "Biología", "BIG", ["LABBG"]),
    "FQ": ("Física i Química", "Física y Química", "FQ", ["LABFQ"]),
    "QUI": ("Química", "Química", "FQ", ["LABFQ"]),
    "EF": ("Educació Física", "Educación Física", "EF", ["GIMNAS", "PISTA"]),
    "MUS": ("Música", "Música", "MUS", ["MUSICA"]),
    "EPV": ("Educació Plàstica, Visual i Audiovisual", "Educación Plástica, Visual y Audiovisual",
            "DIB", ["DIBUIX"]),
    "TEC": ("Tecnologia i Digitalització", "Tecnología y Digitalización", "TEC",
            ["TALLER", "INFO1"]),
    "FIL": ("Filosofia", "Filosofía", "FIL", None),
    "HFIL": ("Història de la Filosofia", "Historia de la Filosofía", "FIL", None),
    "TUT": ("Tutoria", "Tutoría", None, None),
    "REL": ("Religió", "Religión", "REL", ["DESD1"]),
    "ATE": ("Atenció Educativa", "Atención Educativa", "ORI", ["DESD2"]),
}

# Weekly hours per course. "REL+ATE" is one block: both taught to the group at the same time.
PLANS = {
    "1ESO": [("CAS", 4), ("VAL", 4), ("ANG", 4), ("MAT", 4), ("GEH", 3), ("BIG", 3), ("EF", 2),
             ("MUS", 2), ("EPV", 2), ("TUT", 1), ("REL+ATE", 1)],
    "2ESO": [("CAS", 4), ("VAL", 4), ("ANG", 3), ("MAT", 4), ("GEH", 3), ("FQ", 3), ("EF", 2),
             ("MUS", 2), ("TEC", 3), ("TUT", 1), ("REL+ATE", 1)],
    "3ESO": [("CAS", 3), ("VAL", 3), ("ANG", 3), ("MAT", 4), ("GEH", 3), ("BIG", 2), ("FQ", 2),
             ("EF", 2), ("TEC", 2), ("EPV", 2), ("TUT", 1), ("REL+ATE", 1)],
    "4ESO": [("CAS", 4), ("VAL", 3), ("ANG", 4), ("MAT", 4), ("GEH", 3), ("EF", 2), ("FQ", 3),
             ("BIG", 3), ("TEC", 2), ("TUT", 1), ("REL+ATE", 1)],
    "1BAT": [("CAS", 3), ("VAL", 3), ("ANG", 3), ("FIL", 3), ("EF", 2), ("MAT", 4), ("FQ", 4),
             ("BIG", 4), ("TUT", 1)],
    "2BAT": [("CAS", 3), ("VAL", 3), ("ANG", 3), ("HES", 3), ("HFIL", 2), ("MAT", 4), ("QUI", 4),
             ("BIO", 4), ("TUT", 1)],
}

# Teachers: first surname, second surname, given name, department, type ("D" permanent, "I"
# interim, "P" in practice), date of taking up the post.
TEACHERS = [
    ("García", "Martínez", "Joan", "CAS", "D", "01/09/2009"),
    ("Ferrer", "Bosch", "Núria", "CAS", "D", "01/09/2014"),
    ("Sánchez", "Peña", "José Luis", "CAS", "I", ""),
    ("Ortega", "Ruiz", "Lucía", "CAS", "I", ""),
    ("Martí", "Soler", "Vicent", "VAL", "D", "01/09/2003"),
    ("Llopis", "Català", "Maria Dolors", "VAL", "D", "01/09/2011"),
    ("Peris", "Bellver", "Àngela", "VAL", "P", ""),
    ("Sanchis", "Mompó", "Francesc", "VAL", "I", ""),
    ("Ibáñez", "Castelló", "Marta", "ANG", "D", "01/09/2007"),
    ("Navarro", "Gil", "Pablo", "ANG", "D", "01/09/2016"),
    ("Roig", "Vidal", "Carme", "ANG", "I", ""),
    ("Moreno", "Díaz", "Sergio", "ANG", "I", ""),
    ("Gómez", "Mas", "Júlia", "MAT", "D", "01/09/2005"),
    ("Ribes", "Escrivà", "Gonçal", "MAT", "D", "01/09/2012"),
    ("López", "Fernández", "Ana Belén", "MAT", "I", ""),
    ("Torres", "Aguilar", "Raúl", "MAT", "I", ""),
    ("Puig", "Sendra", "Marcel·la", "MAT", "P", ""),
    ("Monzó", "Císcar", "Enric", "GEH", "D", "01/09/1998"),
    ("Castillo", "Romero", "Elena", "GEH", "D", "01/09/2010"),
    ("Boix", "Orts", "Amparo", "GEH", "I", ""),
    ("Climent", "Sempere", "Jordi", "BIG", "D", "01/09/2008"),
    ("Hernández", "Muñoz", "Cristina", "BIG", "I", ""),
    ("Alcaraz", "Vila", "Xavier", "BIG", "I", ""),
    ("Bernabeu", "Pons", "Rosa", "FQ", "D", "01/09/2013"),
    ("Jiménez", "Álvarez", "Andrés", "FQ", "I", ""),
    ("Tormo", "Miralles", "Pau", "FQ", "P", ""),
    ("Cervera", "Ballester", "Laia", "EF", "D", "01/09/2015"),
    ("Romero", "Cano", "Iván", "EF", "I", ""),
    ("Esteve", "Ferri", "Inmaculada", "MUS", "D", "01/09/2006"),
    ("Mora", "Segarra", "Òscar", "MUS", "I", ""),
    ("Valls", "Company", "Begoña", "DIB", "D", "01/09/2002"),
    ("Domínguez", "Serrano", "Tomàs", "DIB", "I", ""),
    ("Giner", "Tomàs", "Empar", "TEC", "D", "01/09/2010"),
    ("Rodríguez", "Vázquez", "Miguel Ángel", "TEC", "I", ""),
    ("Albert", "Pastor", "Consol", "FIL", "D", "01/09/2001"),
    ("Fuster", "Morant", "Teresa", "ORI", "D", "01/09/2004"),
    ("Gil", "Mateu", "Judit", "ORI", "I", ""),
    ("Ruiz", "Gallego", "Fernando", "REL", "I", ""),
    ("Soriano", "Lozano", "Mercè", "DIR", "D", "01/09/1996"),
    ("Pascual", "Grau", "Alfons", "ORI", "I", ""),
]

# The irregular cases, by the teachers' positions in TEACHERS.
PHILOSOPHY_TEACHER = 34    # Albert Pastor: afternoon lessons only
SUPPORT_TEACHER = 36       # Gil Mateu: the second teacher of the two shared pairings
COUNSELLOR = 35            # Fuster Morant: duties only
HEADMISTRESS = 38          # Soriano Lozano: a few lessons and the headship
NO_FIRST_EMAIL = 27        # Romero Cano: only a second e-mail address
SHARED_PAIRINGS = [("1ESOA", "MAT", 2), ("2ESOA", "CAS", 2)]  # group, subject, shared hours

# Duties: code, Valencian name, Castilian name. 231006 and 232006 end alike.
DUTIES = [
    ("231001", "Guàrdia", "Guardia"),
    ("231002", "Guàrdia de pati", "Guardia de recreo"),
    ("231003", "Reunió de departament", "Reunión de departamento"),
    ("231004", "Biblioteca", "Biblioteca"),
    ("231005", "Atenció a famílies", "Atención a familias"),
    ("231006", "Coordinació TIC", "Coordinación TIC"),
    ("232006", "Direcció", "Dirección"),
    ("231008", "Orientació educativa", "Orientación educativa"),
]


def dni(number):
    return f"{number:08d}" + "TRWAGMYFPDXBNJZSQVHLCKE"[number % 23]


def email(given, surname1, domain="docent.example"):
    def plain(text):
        table = str.maketrans("àáèéíïòóúüçñ·ÀÁÈÉÍÏÒÓÚÜÇÑ", "aaeeiioouucn.AAEEIIOOUUCN")
        return text.lower().translate(table).replace(" ", "").replace("..", ".")
    return f"{plain(given.split()[0])}.{plain(surname1)}@{domain}"


class Timetable:
    """Slots taken by groups, teachers and rooms in one template."""

    def __init__(self, periods):
        self.slots = [(d, p) for d in DAYS for p in periods]
        self.busy = set()

    def free(self, slot, keys):
        return all((slot, key) not in self.busy for key in keys)

    def take(self, slot, keys):
        for key in keys:
            self.busy.add((slot, key))


def content_code(course_code, subject):
    """ITACA-style content code: the course code followed by the subject's number."""
    return course_code + f"{list(SUBJECTS).index(subject) + 1:02d}"


def build(rnd):
    docs = [dni(rnd.randrange(10_000_000, 80_000_000)) for _ in TEACHERS]
    by_dept = {}
    for index, teacher in enumerate(TEACHERS):
        by_dept.setdefault(teacher[3], []).append(index)
    load = [0] * len(TEACHERS)
    course_of = {code: (abbr, teaching, template) for code, abbr, teaching, template in COURSES}

    def pick(dept, hours):
        candidates = [t for t in by_dept[dept] if t != COUNSELLOR]
        teacher = min(candidates, key=lambda t: (load[t], t))
        load[teacher] += hours
        return teacher

    # Who teaches what: one teacher per group and subject, the tutor teaches the tutorial.
    blocks = {}   # group -> list of (hours, [(subject, teacher, rooms)])
    tutors = {}
    for group, _, course, home in GROUPS:
        abbr = course_of[course][0]
        group_blocks = []
        taught_by = {}
        for subject, hours in PLANS[abbr]:
            if subject == "REL+ATE":
                rel = pick("REL", hours)
                ate = pick("ORI", hours)
                group_blocks.append((hours, [("REL", rel), ("ATE", ate)]))
                continue
            if subject == "TUT":
                continue
            dept = SUBJECTS[subject][2]
            teacher = pick(dept, hours)
            taught_by[subject] = teacher
            shared = [h for g, s, h in SHARED_PAIRINGS if g == group and s == subject]
            if shared:
                load[SUPPORT_TEACHER] += shared[0]
                group_blocks.append((shared[0], [(subject, teacher), (subject, SUPPORT_TEACHER)]))
                group_blocks.append((hours - shared[0], [(subject, teacher)]))
            else:
                group_blocks.append((hours, [(subject, teacher)]))
        # The tutor: the least loaded of the group's teachers of the core subjects.
        core = [taught_by[s] for s in ("CAS", "VAL", "ANG", "MAT", "GEH") if s in taught_by]
        tutor = min(core, key=lambda t: (load[t], t))
        load[tutor] += 1
        tutors[group] = tutor
        group_blocks.append((1, [("TUT", tutor)]))
        blocks[group] = group_blocks

    # The headmistress teaches geography to one group, replacing its teacher there.
    for index, (hours, entries) in enumerate(blocks["4ESOB"]):
        if entries[0][0] == "GEH":
            load[entries[0][1]] -= hours
            blocks["4ESOB"][index] = (hours, [("GEH", HEADMISTRESS)])
            load[HEADMISTRESS] += hours
            if tutors["4ESOB"] == entries[0][1]:
                tutors["4ESOB"] = HEADMISTRESS
                blocks["4ESOB"] = [(h, [("TUT", HEADMISTRESS)]) if e[0][0] == "TUT" else (h, e)
                                   for h, e in blocks["4ESOB"]]
    return docs, blocks, tutors


def schedule(rnd, blocks):
    """Places every lesson block into a slot of its group's template without clashes."""
    course_of = {code: (abbr, template) for code, abbr, _, template in COURSES}
    tables = {code: Timetable([p[0] for p in periods]) for code, *_, periods in TEMPLATES}
    lessons = []
    order = sorted(GROUPS, key=lambda g: (course_of[g[2]][1], g[0]))
    for group, _, course, home in order:
        template = course_of[course][1]
        table = tables[template]
        units = []
        for hours, entries in blocks[group]:
            units.extend([entries] * hours)
        # Larger blocks and scarce rooms first.
        units.sort(key=lambda e: (-len(e), SUBJECTS[e[0][0]][3] is None))
        for entries in units:
            used_days = {l["dia"] for l in lessons
                         if l["grupo"] == group and l["contenido_key"] == entries[0][0]}
            slots = table.slots[:]
            rnd.shuffle(slots)
            slots.sort(key=lambda s: s[0] in used_days)
            for slot in slots:
                choice = []
                keys = {("g", group)}
                rooms_taken = {}
                for subject, teacher in entries:
                    # Two teachers of one subject share its room; other subjects need their own.
                    room = rooms_taken.get(subject)
                    if room is None:
                        room = next((r for r in SUBJECTS[subject][3] or [home]
                                     if table.free(slot, [("r", r)])
                                     and r not in rooms_taken.values()), None)
                    if room is None or ("t", teacher) in keys:
                        break
                    rooms_taken[subject] = room
                    keys |= {("t", teacher), ("r", room)}
                    choice.append((subject, teacher, room))
                else:
                    if table.free(slot, keys):
                        table.take(slot, keys)
                        for subject, teacher, room in choice:
                            lessons.append({"plantilla": template, "dia": slot[0],
                                            "orden": slot[1], "grupo": group, "curso": course,
                                            "contenido_key": subject, "docente": teacher,
                                            "aula": room})
                        break
            else:
                raise RuntimeError(f"no slot for {group} {entries}")
    return lessons, tables


def duties(rnd, lessons, tables):
    """Duty periods in each teacher's free slots of the template(s) where he or she teaches."""
    taught = {}
    for lesson in lessons:
        taught.setdefault(lesson["docente"], set()).add(lesson["plantilla"])
    taught[COUNSELLOR] = {"MATI"}
    result = []
    for teacher in range(len(TEACHERS)):
        for template in sorted(taught.get(teacher, ())):
            table = tables[template]
            wanted = [("231001", 2), ("231003", 1)]
            if teacher % 3 == 0:
                wanted.append(("231002", 1))
            if teacher % 4 == 1:
                wanted.append(("231004", 1))
            if teacher % 5 == 2:
                wanted.append(("231005", 1))
            if TEACHERS[teacher][3] == "TEC" and TEACHERS[teacher][4] == "D":
                wanted.append(("231006", 2))
            if teacher == HEADMISTRESS:
                wanted.append(("232006", 6))
            if teacher == COUNSELLOR:
                wanted = [("231008", 8), ("231005", 3), ("231003", 1)]
            for duty, count in wanted:
                slots = [s for s in table.slots if table.free(s, [("t", teacher)])]
                rnd.shuffle(slots)
                for slot in slots[:count]:
                    table.take(slot, [("t", teacher)])
                    result.append({"plantilla": template, "dia": slot[0], "orden": slot[1],
                                   "docente": teacher, "ocupacion": duty})
    return result


def attrs(**values):
    return " ".join(f"{key}={quoteattr(str(value))}" for key, value in values.items())


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "ies_exemple.xml")
    rnd = random.Random(46999901)
    docs, blocks, tutors = build(rnd)
    for attempt in range(100):
        try:
            lessons, tables = schedule(rnd, blocks)
            break
        except RuntimeError:
            # A greedy placement that got stuck: start again with the next random order.
            if attempt == 99:
                raise
    duty_periods = duties(rnd, lessons, tables)

    periods = {code: {order: (start, end) for order, start, end in p}
               for code, *_, p in TEMPLATES}
    course_of = {code: (abbr, teaching) for code, abbr, teaching, _ in COURSES}
    teaching_of_teacher = ["3020" if t == PHILOSOPHY_TEACHER else "3012"
                           for t in range(len(TEACHERS))]
    day_order = {d: i for i, d in enumerate(DAYS)}

    lines = ['<?xml version="1.0" encoding="UTF-8"?>']
    lines.append(f'<centro {attrs(codigo="46999901", denominacion="IES Mestra Vicenta Forner", curso="2024", version="2.1")}>')

    lines.append("  <plantillas_horario>")
    for code, val, cas, shift, _ in TEMPLATES:
        lines.append(f"    <plantilla_horario {attrs(codigo=code, descripcion_val=val, descripcion_cas=cas, turno=shift)}/>")
    lines.append("  </plantillas_horario>")

    lines.append("  <sesiones_horario>")
    for code, *_, template_periods in TEMPLATES:
        for day in DAYS:
            for order, start, end in template_periods:
                lines.append(f"    <sesion_horario {attrs(plantilla=code, dia_semana=day, sesion_orden=order, hora_desde=start, hora_hasta=end)}/>")
    lines.append("  </sesiones_horario>")

    lines.append("  <ensenanzas>")
    for code, abbr in TEACHINGS:
        lines.append(f"    <ensenanza {attrs(ensenanza=code, abreviatura=abbr)}/>")
    lines.append("  </ensenanzas>")

    lines.append("  <cursos>")
    for code, abbr, teaching, _ in COURSES:
        lines.append(f"    <curso {attrs(codigo=code, padre='', abreviatura=abbr, ensenanza=teaching)}/>")
    lines.append("  </cursos>")

    lines.append("  <grupos>")
    for group, name, course, _ in GROUPS:
        shift = "V" if course_of[course][1] == "3020" else "M"
        main_tutor, second_tutor = docs[tutors[group]], ""
        if group == "3ESOB":
            main_tutor, second_tutor = "", docs[tutors[group]]
        lines.append(f"    <grupo {attrs(codigo=group, nombre=name, turno=shift, ensenanza=course_of[course][1], tutor_ppal=main_tutor, tutor_sec=second_tutor)}/>")
    lines.append("  </grupos>")

    lines.append("  <cursos_grupo>")
    for group, _, course, _ in GROUPS:
        lines.append(f"    <curso_grupo {attrs(grupo=group, curso=course)}/>")
    lines.append("  </cursos_grupo>")

    lines.append("  <docentes>")
    for index, (surname1, surname2, given, _, kind, since) in enumerate(TEACHERS):
        first_email = email(given, surname1)
        second_email = ""
        if index == NO_FIRST_EMAIL:
            first_email, second_email = "", email(given, surname1, "correu.example")
        lines.append(f"    <docente {attrs(documento=docs[index], nombre=given, apellido1=surname1, apellido2=surname2, tipo_docente=kind, fecha_ingreso=since, ensenanza=teaching_of_teacher[index], email1=first_email, email2=second_email)}/>")
    lines.append("  </docentes>")

    lines.append("  <aulas>")
    for code, name in ROOMS:
        lines.append(f"    <aula {attrs(codigo=code, nombre=name)}/>")
    lines.append("  </aulas>")

    lines.append("  <contenidos>")
    for course, abbr, _, _ in COURSES:
        subjects = []
        for entry, _ in PLANS[abbr]:
            subjects.extend(entry.split("+"))
        for subject in subjects:
            val, cas, *_ = SUBJECTS[subject]
            lines.append(f"    <contenido {attrs(codigo=content_code(course, subject), curso=course, nombre_val=val, nombre_cas=cas)}/>")
    lines.append("  </contenidos>")

    lines.append("  <ocupaciones>")
    for code, val, cas in DUTIES:
        lines.append(f"    <ocupacion {attrs(codigo=code, nombre_val=val, nombre_cas=cas)}/>")
    lines.append("  </ocupaciones>")

    lines.append("  <horarios_grupo>")
    lessons.sort(key=lambda l: (l["plantilla"] != "MATI", l["grupo"], day_order[l["dia"]],
                                l["orden"], l["docente"]))
    for l in lessons:
        start, end = periods[l["plantilla"]][l["orden"]]
        lines.append(f"    <horario_grupo {attrs(plantilla=l['plantilla'], dia_semana=l['dia'], sesion_orden=l['orden'], hora_desde=start, hora_hasta=end, grupo=l['grupo'], ensenanza=course_of[l['curso']][1], curso=l['curso'], contenido=content_code(l['curso'], l['contenido_key']), docente=docs[l['docente']], aula=l['aula'], idioma='')}/>")
    lines.append("  </horarios_grupo>")

    lines.append("  <horarios_ocupaciones>")
    duty_periods.sort(key=lambda d: (d["plantilla"] != "MATI", d["docente"], day_order[d["dia"]],
                                     d["orden"]))
    for d in duty_periods:
        start, end = periods[d["plantilla"]][d["orden"]]
        lines.append(f"    <horario_ocupacion {attrs(plantilla=d['plantilla'], dia_semana=d['dia'], sesion_orden=d['orden'], hora_desde=start, hora_hasta=end, docente=docs[d['docente']], ensenanza=teaching_of_teacher[d['docente']], ocupacion=d['ocupacion'])}/>")
    lines.append("  </horarios_ocupaciones>")
    lines.append("</centro>")

    with open(output, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(lines) + "\n")
    print(f"{output}: {len(TEACHERS)} docentes, {len(GROUPS)} grupos, {len(lessons)} clases, "
          f"{len(duty_periods)} guardias y otras ocupaciones")


if __name__ == "__main__":
    main()
