// The ten conversion stages, run by the driver in this order. Each rebuilds or changes working
// tables from the document and relies on the tables of the stages before it.
#pragma once

#include <future>

#include "conversion/context.h"
#include "report/timetable.h"

namespace tc {

void ImportTeachers(ConversionContext& ctx);              // PROFT
void ImportCoursesAndGroups(ConversionContext& ctx);      // CURSOST, GRUPOST
void ImportSubjects(ConversionContext& ctx);              // ASIGNOMT: subjects
void ImportTasks(ConversionContext& ctx);                 // ASIGNOMT: duties
void ImportRooms(ConversionContext& ctx);                 // AULAT
void ImportAssignments(ConversionContext& ctx);           // ASIGT: one row per content and group
// ASIGT: hours, teachers, rooms; returns the templates taken, which the stages after it follow.
TemplatesTaken ImportGroupTimetables(ConversionContext& ctx);
void ImportOccupationTimetables(ConversionContext& ctx,
                                TemplatesTaken templates);  // ASIGT: duty rows, SESIONES
void PruneIdleGroupsAndTeachers(ConversionContext& ctx,
                                TemplatesTaken templates);  // GRUPOST, PROFT: idle rows
void ImportTimeSlots(ConversionContext& ctx);               // DIASHORAST

// DIASHORAST, staged, from the conversion state alone (SelectedTemplateCode, ListBoxPlanti,
// LanguageChoice): the conversion's last stage, and the export's first step.
void ImportTimeSlots(store::StagedTables& tables, const ConversionState& state);

// At the run's start: the lessons of the template in the group timetables, which need only the
// document, read on a thread of its own beside the stages before the group stage, which takes
// them (in turn when no thread can be had).
void ReadGroupLessonsBeside(ConversionContext& ctx);
// The periods of the occupation timetables, likewise, beside the group stage (which starts it once
// the group lessons are read) for the occupation stage.
void ReadDutyPeriodsBeside(ConversionContext& ctx);

// After the group stage, for the report: ITACA's own timetable of the template (its group lessons
// taken from ctx.template_classes when the stage kept them), read on a thread of its own beside
// the stages that follow, which read the document but change nothing in it; in turn when no
// thread can be had (report_timetables.cpp).
std::future<report::Lessons> ReadTemplateTimetable(ConversionContext& ctx);

// After the stages, into ctx.report: that timetable, the template's periods and the ASIGT rows in
// ITACA's codes.
void GatherConversionTimetables(ConversionContext& ctx, TemplatesTaken templates,
                                report::Lessons itaca);

}  // namespace tc
