// Subcommands of the icode tool; each takes the words after its name and
// returns the exit status.
#pragma once

int cmd_as(int argc, char** argv);
int cmd_dis(int argc, char** argv);
int cmd_check(int argc, char** argv);
int cmd_dump(int argc, char** argv);
int cmd_copy(int argc, char** argv);
int cmd_cfg(int argc, char** argv);
int cmd_run(int argc, char** argv);
int cmd_gen(int argc, char** argv);
int cmd_coverage(int argc, char** argv);
int cmd_cc(int argc, char** argv);
