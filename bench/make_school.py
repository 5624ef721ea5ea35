#!/usr/bin/env python3
"""Writes a synthetic ITACA document of a given scale for the benchmarks.

Scale 1 is a large secondary school: 120 teachers, 40 groups, 600 contents, 60 rooms, two time
templates of 35 periods, about 4,000 lessons and 2,000 duty periods per template. Scale N holds N
such schools side by side under one root, with codes made unique per copy.

With "colliding" the codes the conversion shortens all collide: every teacher has the same
name (so the same initials), every room and group code starts with the same long text.

Usage: make_school.py SCALE OUTPUT.xml [colliding]
"""
import random
import sys
from xml.sax.saxutils import quoteattr

DAYS = ["L", "M", "X", "J", "V"]
TIMES = [("08:00", "08:55"), ("08:55", "09:50"), ("09:50", "10:45"), ("11:15", "12:10"),
         ("12:10", "13:05"), ("13:05", "14:00"), ("14:00", "14:55")]
TEMPLATES = [("PM", "Matí", "Mañana", "M"), ("PT", "Vesprada", "Tarde", "T")]
COURSES = [("1ESO", "ESO"), ("2ESO", "ESO"), ("3ESO", "ESO"), ("4ESO", "ESO"),
           ("1BAC", "BACH"), ("2BAC", "BACH"), ("1CFM", "CFGM"), ("2CFM", "CFGM"),
           ("1CFS", "CFGS"), ("2CFS", "CFGS")]
TEACHINGS = [("ESO", "ESO"), ("BACH", "BACH"), ("CFGM", "CFGM"), ("CFGS", "CFGS")]
SURNAMES = ["García", "Martínez", "López", "Sánchez", "Pérez", "Gómez", "Ferrer", "Navarro",
            "Vidal", "Soler", "Ribes", "Llopis", "Monzó", "Castelló", "Peñarroja", "Mañez"]
NAMES = ["Josep", "María", "Vicent", "Amparo", "Joan", "Núria", "Àlex", "Inés", "Ramón", "Lluïsa"]
SUBJECTS = ["Matemàtiques", "Llengua Castellana i Literatura", "Valencià: Llengua i Literatura",
            "Geografia i Història", "Biologia i Geologia", "Física i Química", "Anglés",
            "Educació Física", "Tecnologia", "Música", "Educació Plàstica i Visual", "Filosofia"]

GROUPS_PER_COPY = 40
CONTENTS_PER_COURSE = 60
TEACHERS_PER_COPY = 120
ROOMS_PER_COPY = 60
DUTIES_PER_COPY = 20
LESSONS_PER_TEMPLATE = 4000
DUTY_PERIODS_PER_TEMPLATE = 2000


def attrs(**values):
    return " ".join(f"{k}={quoteattr(str(v))}" for k, v in values.items())


def main():
    scale = int(sys.argv[1])
    colliding = sys.argv[3:] == ["colliding"]
    out = open(sys.argv[2], "w", encoding="utf-8", newline="\n")
    rnd = random.Random(20261208)
    w = out.write
    w('<?xml version="1.0" encoding="UTF-8"?>\n')
    w(f'<centro {attrs(codigo="46099999", denominacion="IES Sintètic", curso="2026", version="1.0")}>\n')

    w("<plantillas_horario>\n")
    for code, val, cas, shift in TEMPLATES:
        w(f'<plantilla_horario {attrs(codigo=code, descripcion_val=val, descripcion_cas=cas, turno=shift)}/>\n')
    w("</plantillas_horario>\n<sesiones_horario>\n")
    for code, *_ in TEMPLATES:
        for day in DAYS:
            for order, (start, end) in enumerate(TIMES, 1):
                w(f'<sesion_horario {attrs(plantilla=code, dia_semana=day, sesion_orden=order, hora_desde=start, hora_hasta=end)}/>\n')
    w("</sesiones_horario>\n<ensenanzas>\n")
    for code, abbrev in TEACHINGS:
        w(f'<ensenanza {attrs(ensenanza=code, abreviatura=abbrev)}/>\n')
    w("</ensenanzas>\n")

    copies = []
    for c in range(scale):
        sfx = f"{c:03d}"
        courses = [(f"C{sfx}{i:02d}", abbr, teach) for i, (abbr, teach) in enumerate(COURSES)]
        groups = []
        for g in range(GROUPS_PER_COPY):
            course = courses[g % len(courses)]
            letter = "ABCDE"[g // len(courses)]
            prefix = "GRUPCOMU" if colliding else f"{course[1][0]}G"
            groups.append((f"{prefix}{sfx}{g:02d}{letter}", course))
        teachers = [f"{c:03d}{t:05d}X" for t in range(TEACHERS_PER_COPY)]
        rooms = [f"{'AULACOMUN' if colliding else 'A'}{sfx}{r:03d}" for r in range(ROOMS_PER_COPY)]
        contents = [(f"M{sfx}{i:02d}{k:02d}", course) for i, course in enumerate(courses)
                    for k in range(CONTENTS_PER_COURSE)]
        duties = [f"OC{sfx}{d:03d}" for d in range(DUTIES_PER_COPY)]
        copies.append((sfx, courses, groups, teachers, rooms, contents, duties))

    w("<cursos>\n")
    for _, courses, *_ in copies:
        for code, abbr, teach in courses:
            w(f'<curso {attrs(codigo=code, padre="", abreviatura=abbr, ensenanza=teach)}/>\n')
    w("</cursos>\n<cursos_grupo>\n")
    for _, _, groups, *_ in copies:
        for gcode, course in groups:
            w(f'<curso_grupo {attrs(grupo=gcode, curso=course[0])}/>\n')
    w("</cursos_grupo>\n<grupos>\n")
    for _, _, groups, teachers, *_ in copies:
        for n, (gcode, course) in enumerate(groups):
            w(f'<grupo {attrs(codigo=gcode, nombre="Grup " + gcode, turno="M", ensenanza=course[2], tutor_ppal=teachers[n], tutor_sec="")}/>\n')
    w("</grupos>\n<docentes>\n")
    for _, _, _, teachers, *_ in copies:
        for n, doc in enumerate(teachers):
            w(f'<docente {attrs(documento=doc, nombre=NAMES[0 if colliding else n % len(NAMES)], apellido1=SURNAMES[0 if colliding else n % len(SURNAMES)], apellido2=SURNAMES[0 if colliding else (n // 3) % len(SURNAMES)], tipo_docente="D", fecha_ingreso="01/09/2015", ensenanza="ESO", email1=f"d{doc.lower()}@edu.gva.es", email2="")}/>\n')
    w("</docentes>\n<aulas>\n")
    for _, _, _, _, rooms, *_ in copies:
        for n, room in enumerate(rooms):
            w(f'<aula {attrs(codigo=room, nombre=f"Aula {n + 1}")}/>\n')
    w("</aulas>\n<contenidos>\n")
    for _, _, _, _, _, contents, _ in copies:
        for n, (code, course) in enumerate(contents):
            name = f"{SUBJECTS[n % len(SUBJECTS)]} {code}"
            w(f'<contenido {attrs(codigo=code, curso=course[0], nombre_val=name, nombre_cas=name)}/>\n')
    w("</contenidos>\n<ocupaciones>\n")
    for *_, duties in copies:
        for n, duty in enumerate(duties):
            w(f'<ocupacion {attrs(codigo=duty, nombre_val=f"Guàrdia {n}", nombre_cas=f"Guardia {n}")}/>\n')
    w("</ocupaciones>\n<horarios_grupo>\n")
    for sfx, courses, groups, teachers, rooms, contents, duties in copies:
        by_course = {}
        for code, course in contents:
            by_course.setdefault(course[0], []).append(code)
        for tcode, *_ in TEMPLATES:
            for n in range(LESSONS_PER_TEMPLATE):
                gcode, course = groups[n % len(groups)]
                content = rnd.choice(by_course[course[0]][:12])
                slot = n // len(groups)
                w(f'<horario_grupo {attrs(plantilla=tcode, dia_semana=DAYS[slot % 5], sesion_orden=slot % 7 + 1, hora_desde="08:00", hora_hasta="08:55", grupo=gcode, ensenanza=course[2], curso=course[0], contenido=content, docente=rnd.choice(teachers), aula=rnd.choice(rooms), idioma="")}/>\n')
    w("</horarios_grupo>\n<horarios_ocupaciones>\n")
    for sfx, courses, groups, teachers, rooms, contents, duties in copies:
        for tcode, *_ in TEMPLATES:
            for n in range(DUTY_PERIODS_PER_TEMPLATE):
                w(f'<horario_ocupacion {attrs(plantilla=tcode, dia_semana=DAYS[n % 5], sesion_orden=n % 7 + 1, hora_desde="08:00", hora_hasta="08:55", docente=teachers[n % len(teachers)], ensenanza="ESO", ocupacion=duties[n % len(duties)])}/>\n')
    w("</horarios_ocupaciones>\n</centro>\n")
    out.close()


if __name__ == "__main__":
    main()
