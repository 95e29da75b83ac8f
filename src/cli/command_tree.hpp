#pragma once

#include <CLI/CLI.hpp>

#include "command_line.hpp"

namespace vantrell::cli {

// The whole command tree: the global options on the program, a subcommand per
// noun and one per verb below it. Parsing leaves the chosen verb's action in
// `chosen`; usage errors throw CLI::ParseError or UsageError.
struct CommandTree {
  explicit CommandTree(GlobalOptions& globals);
  CLI::App app;
  Action chosen;
};

// Makes `verb` choose `action` when it is the command given.
void onRun(CLI::App* verb, Action& chosen, Action action);
// A whole-number option or positional read with parseWholeNumber.
CLI::Option* addWholeNumber(CLI::App* app, const std::string& name, std::int64_t& target,
                            const std::string& description, std::int64_t minimum = 1,
                            std::int64_t maximum = std::numeric_limits<std::int64_t>::max());
// The trailing FIELD=VALUE pairs of a verb.
CLI::Option* addFields(CLI::App* verb, Fields& fields, const std::string& description);
// Adds a verb below `noun` that takes nothing but the global options.
CLI::App* addVerb(CLI::App* noun, const std::string& name, const std::string& description);

// One function per group of nouns, each in the file of its commands.
void addSchemaCommands(CLI::App& app, Action& chosen);
void addPracticeCommands(CLI::App& app, Action& chosen);
void addSecurityCommands(CLI::App& app, Action& chosen);
void addReferenceCommands(CLI::App& app, Action& chosen);
void addAccountsCommands(CLI::App& app, Action& chosen);
void addTransactionCommands(CLI::App& app, Action& chosen);
void addClaimCommands(CLI::App& app, Action& chosen);
void addStatementCommands(CLI::App& app, Action& chosen);
void addDepositCommands(CLI::App& app, Action& chosen);
// report aging|day-sheet|analysis
void addReportCommands(CLI::App& app, Action& chosen);
// worklist, plan and letters
void addCollectionCommands(CLI::App& app, Action& chosen);
// backup, restore, backups and maintain
void addMaintenanceCommands(CLI::App& app, Action& chosen);
// era import|list|show|queue
void addRemittanceCommands(CLI::App& app, Action& chosen);
// The verbs of one noun are written in more than one file when they belong to
// different windows of the program.
void addClaimCreationVerbs(CLI::App* claim, Action& chosen);
void addClaimManagementVerbs(CLI::App* claim, Action& chosen);
void addClaimOutputVerbs(CLI::App* claim, Action& chosen);
void addClaimFormVerbs(CLI::App* claim, Action& chosen);
void addDepositVerbs(CLI::App* deposit, Action& chosen);
void addDepositApplicationVerbs(CLI::App* deposit, Action& chosen);
void addStatementCreationVerbs(CLI::App* statement, Action& chosen);
void addStatementPrintingVerbs(CLI::App* statement, Action& chosen);
void addAgingVerbs(CLI::App* report, Action& chosen);
void addDaySheetVerbs(CLI::App* report, Action& chosen);
void addQuickBalanceCommand(CLI::App& app, Action& chosen);
void addCompletionCommand(CLI::App& app, Action& chosen);

}  // namespace vantrell::cli
