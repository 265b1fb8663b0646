#!/usr/bin/perl
# nodeweld.pl - runs one mending or flagging run of nodeweld on a DGN V7 design file.
#
#   perl -S nodeweld.pl -F sheet.dgn [selection] [-Nm] [engine options] [driver options]
#   perl -S nodeweld.pl -U sheets.ulf [...]
#
# Checks the command line and the input, extracts the locations of the selected elements
# with dgnpoints into the sorted point file of a private working folder, sets the engine's
# environment, runs nodeweld there with the options meant for it, streams its output, and
# ends with its status. Core Perl modules only.
use strict;
use warnings;
use Cwd qw(abs_path getcwd);
use File::Basename qw(basename dirname);
use File::Copy qw(copy);
use File::Spec;
use File::Temp qw(tempdir);
use File::Path qw(remove_tree);
use POSIX qw(WIFEXITED WEXITSTATUS WIFSIGNALED WTERMSIG);

my $ME = 'nodeweld.pl';

# Exit statuses of the driver itself, apart from every status the engine ends with (their
# low bytes: 0, 3-10, 66, 99, 166, 231, 245, 254, 255) and from 128 + a signal.
use constant {
    EXIT_USAGE   => 2,    # bad command line, criteria list or weighting table
    EXIT_INPUT   => 20,   # input file missing, unreadable, not a design file, bad ULF
    EXIT_SETUP   => 21,   # programs not found, working folder or point file not made
    EXIT_REPORT  => 22,   # the run ended with 0 but the report could not be written
};

# Longest design-file name the engine takes.
use constant MAX_ENGINE_NAME => 59;

sub fail {
    my ($status, $msg) = @_;
    print STDERR "$ME: $msg\n";
    exit $status;
}

sub usage_text {
    return <<"EOT";
usage: perl -S nodeweld.pl (-F design.dgn | -U sheets.ulf) [options]

selection (lists like 1-5,7):
  -ll LEVELS   levels (default 1-63)         -e TYPES    element types (default 3,4)
  -ls STYLES   styles (default 0-7)          -lw WEIGHTS weights (default all)
  -lo COLOURS  colours (default 0-255)       -lc CLASSES classes (default 0,2)
mending:
  -Nm          coordinate averaging: mend by the average only (engine -O 0,0,3)
  -w [TABLE]   weights for the mending solution, from the weighting table TABLE
  other options go to the engine unchanged (-T, -D, -f, -L, -S, -s, -O, ...; see README)
driver:
  --report FILE     write a report of what the run changed (CSV when FILE ends in .csv,
                    else JSON)
  --keep-folder     keep the working folder (point file, snapshot) and print its path
  --help            this text
EOT
}

# ---------------------------------------------------------------------------
# Engine options: how many values each takes. 1 = one value, '?' = an optional value
# (taken when the next argument does not begin with a minus), 0 = none.
my %EXACT = (
    '-F' => 1, '-FR' => 1, '-L' => 1,
    '-LM' => 1, '-LMM' => 1, '-LS' => 1, '-LSM' => 1,
    '-PM' => 1, '-PMM' => 1, '-PS' => 1, '-PSM' => 1, '-PF' => 1, '-Pf' => 1,
    '-P' => 0, '-XL' => 0, '-NL' => 0, '-No' => 0, '-NS' => 0,
);
# By the option letter alone (the engine looks at the second character).
my %BY_LETTER = (
    'c' => 0, 'C' => 1, 'd' => '?', 'q' => '?', 'Q' => '?', 'D' => 1, 'E' => 1,
    'f' => 1, 'i' => 0, 'k' => 0, 'I' => 1, 'O' => 1, 'R' => 0, 's' => 0, 'S' => 1,
    'T' => 1, 'u' => 1, 'w' => '?', 'z' => 0,
);
my %NP_LIKE = ('-NP' => 1, '-Nf' => 1);
my %CRITERIA = ('-e' => 1, '-ll' => 1, '-ls' => 1, '-lw' => 1, '-lo' => 1, '-lc' => 1);

# ---------------------------------------------------------------------------
# Command line.

my (%opt, @engine, %crit);
$opt{keep} = 0;

# A path given without quotes arrives split at its blanks: join the words that follow while
# the path does not name a file and a longer one does.
sub take_path {
    my ($args, $i) = @_;
    my $path = $args->[$i];
    my $j = $i;
    unless (-e $path) {
        my $try = $path;
        for (my $k = $i + 1; $k < @$args && $args->[$k] !~ /^-/; $k++) {
            $try .= ' ' . $args->[$k];
            if (-e $try) { $path = $try; $j = $k; last; }
        }
    }
    return ($path, $j);
}

sub parse_command_line {
    my @args = @_;
    fail(EXIT_USAGE, "no input: give -F design.dgn or -U sheets.ulf\n" . usage_text()) unless @args;
    for (my $i = 0; $i < @args; $i++) {
        my $a = $args[$i];
        if ($a eq '--help' || $a eq '-h') { print usage_text(); exit 0; }
        if ($a eq '--keep-folder') { $opt{keep} = 1; next; }
        if ($a eq '--report') {
            fail(EXIT_USAGE, "--report needs a file name") if $i + 1 >= @args;
            $opt{report} = $args[++$i];
            next;
        }
        if ($a eq '-F' || $a eq '-U') {
            fail(EXIT_USAGE, "$a needs a file name") if $i + 1 >= @args || $args[$i + 1] eq '';
            fail(EXIT_USAGE, "give only one input file (-F or -U)") if defined $opt{input};
            my ($path, $j) = take_path(\@args, $i + 1);
            $opt{input} = $path;
            $opt{ulf} = $a eq '-U';
            $i = $j;
            push @engine, [$a, 'INPUT'];
            next;
        }
        if ($a eq '-Nm') { $opt{Nm} = 1; push @engine, ['-O', '0,0,3']; next; }
        if ($CRITERIA{$a}) {
            fail(EXIT_USAGE, "$a needs a list") if $i + 1 >= @args || $args[$i + 1] =~ /^-[A-Za-z]/;
            $crit{$a} = $args[++$i];
            next;
        }
        if ($a eq '-w') {
            $opt{w} = 1;
            if ($i + 1 < @args && $args[$i + 1] !~ /^-/) {
                my $v = $args[++$i];
                # A bare number is the engine's own (ignored) value of -w, not a table.
                $opt{table} = $v unless $v =~ /^\d+\z/ && !-e $v;
            }
            next;    # placed at the end of the engine's line
        }
        my $arity;
        if (exists $EXACT{$a})       { $arity = $EXACT{$a}; }
        elsif (exists $NP_LIKE{$a})  { $arity = 1; }
        elsif ($a =~ /^-f/)          { $arity = 1; }    # -f and its longer forms
        elsif (length($a) == 2 && substr($a, 0, 1) eq '-' && exists $BY_LETTER{substr($a, 1, 1)}) {
            $arity = $BY_LETTER{substr($a, 1, 1)};
        }
        fail(EXIT_USAGE, "unknown option '$a' (see --help)") unless defined $arity;
        my @item = ($a);
        if ($arity eq '1') {
            # A missing value is refused rather than taking the next option as the value.
            fail(EXIT_USAGE, "$a needs a value") if $i + 1 >= @args || $args[$i + 1] =~ /^-[A-Za-z]/;
            push @item, $args[++$i];
        } elsif ($arity eq '?') {
            push @item, $args[++$i] if $i + 1 < @args && $args[$i + 1] !~ /^-/;
        }
        $opt{seen}{$a} = $item[1] // '';
        push @engine, \@item;
    }
    fail(EXIT_USAGE, "no input: give -F design.dgn or -U sheets.ulf") unless defined $opt{input};
    fail(EXIT_USAGE, "-Nm (mend by the average only) and -O cannot be given together")
        if $opt{Nm} && (grep { $_->[0] eq '-O' } @engine) > 1;
}

# ---------------------------------------------------------------------------
# Input files.

# Why a file cannot be a design file to mend, or undef when it can.
sub design_file_problem {
    my ($path, $what) = @_;
    return "$what '$path' does not exist" unless -e $path;
    return "$what '$path' is not a file" unless -f $path;
    return "$what '$path' cannot be read" unless -r $path;
    open(my $fh, '<:raw', $path) or return "$what '$path' cannot be read: $!";
    my $n = read($fh, my $head, 4);
    close $fh;
    return "$what '$path' is empty" unless $n;
    my @b = unpack('C4', $head . "\0\0\0\0");
    return "$what '$path' is a DGN V8 file; only DGN V7 design files can be mended"
        if $head eq "\xD0\xCF\x11\xE0";
    return "$what '$path' is a cell library, not a design file"
        if $b[0] == 0x08 && $b[1] == 0x05 && $b[2] == 0x17 && $b[3] == 0x00;
    return "$what '$path' is not a DGN V7 design file"
        unless $n == 4 && ($b[0] & 0x3F) == 0x08 && $b[1] == 0x09 && $b[2] == 0xFE && $b[3] == 0x02;
    return undef;
}

# The ULF file: which design file to work on and which adjacent sheets to take locations from.
#   # comment
#   design   PATH      (exactly once)
#   adjacent PATH      (any number)
# Relative paths are taken from the ULF file's folder.
sub read_ulf {
    my ($ulf) = @_;
    fail(EXIT_INPUT, "ULF file '$ulf' does not exist") unless -e $ulf;
    fail(EXIT_INPUT, "ULF file '$ulf' cannot be read") unless -f $ulf && -r $ulf;
    open(my $fh, '<', $ulf) or fail(EXIT_INPUT, "ULF file '$ulf' cannot be read: $!");
    my $base = dirname($ulf);
    my ($design, @adjacent);
    my $n = 0;
    while (my $line = <$fh>) {
        $n++;
        $line =~ s/\r?\n\z//;
        next if $line =~ /^\s*(#|\z)/;
        my ($key, $path) = $line =~ /^\s*(\S+)\s+(.*?)\s*\z/;
        fail(EXIT_INPUT, "ULF file '$ulf', line $n: expected \"design PATH\" or \"adjacent PATH\"")
            unless defined $key && length $path;
        $path = File::Spec->catfile($base, $path) unless File::Spec->file_name_is_absolute($path) || $base eq '.';
        if (lc $key eq 'design') {
            fail(EXIT_INPUT, "ULF file '$ulf', line $n: a second design file") if defined $design;
            $design = $path;
        } elsif (lc $key eq 'adjacent') {
            push @adjacent, $path;
        } else {
            fail(EXIT_INPUT, "ULF file '$ulf', line $n: unknown key '$key' (design or adjacent)");
        }
    }
    close $fh;
    fail(EXIT_INPUT, "ULF file '$ulf' names no design file (a line \"design PATH\")") unless defined $design;
    return ($design, @adjacent);
}

# ---------------------------------------------------------------------------
# Programs: next to this script first (a build's or an installation's bin/), then PATH.

my $SELF_DIR = dirname(abs_path($0) // $0);

sub find_program {
    my ($name) = @_;
    for my $dir ($SELF_DIR, File::Spec->path()) {
        next unless defined $dir && length $dir;
        my $p = File::Spec->catfile($dir, $name);
        return abs_path($p) if -f $p && -x $p;
    }
    return undef;
}

# ---------------------------------------------------------------------------
# The run.

my $workdir;
my $child_pid;

sub cleanup {
    return unless defined $workdir && -d $workdir;
    if ($opt{keep}) {
        print STDERR "$ME: working folder kept: $workdir\n";
    } else {
        remove_tree($workdir);
    }
}

sub on_signal {
    my ($sig) = @_;
    kill($sig, $child_pid) if $child_pid;
    waitpid($child_pid, 0) if $child_pid;
    cleanup();
    exit 128 + ($sig eq 'INT' ? 2 : $sig eq 'TERM' ? 15 : 1);
}

# Status of a finished child: its exit code, or 128 + the signal that ended it.
sub child_status {
    my ($w) = @_;
    return WEXITSTATUS($w) if WIFEXITED($w);
    return 128 + WTERMSIG($w) if WIFSIGNALED($w);
    return 255;
}

# The engine's option value of a flag kind's level (first field of "level,size").
sub level_of {
    my ($v) = @_;
    return undef unless defined $v && $v =~ /^\s*([+-]?\d+)/;
    return $1 + 0;
}

# Whether the engine will only flag (exact -f, or -NP with a group limit of 0): no
# solutions are sought, so fixed locations need no weights.
sub flag_only {
    my %s = %{ $opt{seen} // {} };
    return 1 if exists $s{'-f'};
    if (exists $s{'-NP'}) {
        my ($max) = split /,/, $s{'-NP'}, -1;
        my $digits = join('', ($max // '') =~ /(\d)/g);
        return 1 if ($digits eq '' ? 0 : $digits + 0) == 0;
    }
    return 0;
}

sub report_flag_levels {
    my @flags;
    my %s = %{ $opt{seen} // {} };
    my $add = sub {
        my ($kind, $level) = @_;
        push @flags, '--flag', "$kind=$level" if defined $level && $level >= 1 && $level <= 63;
    };
    for my $o (grep { /^-f/ } keys %s) {
        my $l = level_of($s{$o});
        $l = 63 if defined $l && ($l < 0 || $l > 63);
        $add->('close_point', $l);
        $add->('unsolved', $l);
    }
    if (exists $s{'-NP'}) {
        my @f = split /,/, $s{'-NP'}, -1;
        my $digits = defined $f[1] ? join('', $f[1] =~ /(\d)/g) : '';
        $add->('unsolved', $digits + 0) if length $digits;
        $add->('close_point', $digits + 0) if length $digits;
    }
    $add->('dangle', level_of($s{'-D'})) if exists $s{'-D'};
    $add->('floater', level_of($s{'-Pf'})) if exists $s{'-Pf'};
    $add->('mended_point', level_of($s{'-PF'})) if exists $s{'-PF'};
    $add->('direction', level_of($s{'-C'})) if exists $s{'-C'};
    for my $o ('-LM', '-LMM') {
        next unless exists $s{$o};
        $add->('multiple_line', level_of($s{$o}));
        $add->('white', level_of($s{$o}));
    }
    for my $o ('-LS', '-LSM') { $add->('single_line', level_of($s{$o})) if exists $s{$o}; }
    for my $o ('-PM', '-PMM') { $add->('multiple_point', level_of($s{$o})) if exists $s{$o}; }
    for my $o ('-PS', '-PSM') { $add->('single_point', level_of($s{$o})) if exists $s{$o}; }
    return @flags;
}

sub main {
    parse_command_line(@ARGV);

    # The design file and, for ULF input, the adjacent sheets.
    my ($design, @adjacent);
    if ($opt{ulf}) {
        ($design, @adjacent) = read_ulf($opt{input});
    } else {
        $design = $opt{input};
    }
    my $problem = design_file_problem($design, 'design file');
    fail(EXIT_INPUT, $problem) if $problem;
    for my $a (@adjacent) {
        my $p = design_file_problem($a, 'adjacent sheet');
        fail(EXIT_INPUT, $p) if $p;
    }
    my $real = abs_path($design);
    fail(EXIT_INPUT, "design file '$design' cannot be resolved") unless defined $real;
    for my $a (@adjacent) {
        my $r = abs_path($a);
        fail(EXIT_INPUT, "adjacent sheet '$a' is the design file itself") if defined $r && $r eq $real;
    }
    fail(EXIT_INPUT, "design file '$design' cannot be written (the run changes it)") unless -w $real;
    fail(EXIT_INPUT, "the folder of '$real' cannot be written (the run writes the file back there)")
        unless -w dirname($real);
    if (defined $opt{table}) {
        fail(EXIT_USAGE, "weighting table '$opt{table}' cannot be read") unless -f $opt{table} && -r $opt{table};
    }
    if (defined $opt{report}) {
        my $dir = dirname($opt{report});
        fail(EXIT_USAGE, "report folder '$dir' cannot be written") unless -d $dir && -w $dir;
    }

    my %prog;
    for my $p ('nodeweld', 'dgnpoints') {
        $prog{$p} = find_program($p) or fail(EXIT_SETUP, "cannot find the program $p (next to $ME or on PATH)");
    }
    if (defined $opt{report}) {
        $prog{dgnreport} = find_program('dgnreport') or fail(EXIT_SETUP, "cannot find the program dgnreport");
    }
    my $ms_exe = $ENV{MS_EXE};
    unless (defined $ms_exe && length $ms_exe) {
        my $server = find_program('ustation.exe')
            or fail(EXIT_SETUP, "cannot find the design-file server ustation.exe (next to $ME, on PATH or in MS_EXE)");
        # A folder is named with its closing slash: the engine takes MS_EXE as a file
        # specification whose folder part is searched.
        $ms_exe = dirname($server) . '/';
    }

    # A private working folder: the point file's name cannot collide with another run's.
    $workdir = eval { tempdir('nodeweld.XXXXXX', TMPDIR => 1) }
        or fail(EXIT_SETUP, "cannot create a working folder: $@");
    $SIG{INT} = $SIG{TERM} = $SIG{HUP} = \&on_signal;

    # The engine takes names of at most 59 characters: it runs in the working folder and
    # reaches the file through a symbolic link with a short name there. The server follows
    # the link when it writes the file back.
    my $short = basename($real);
    $short = 'design.dgn' unless $short =~ /^[A-Za-z0-9_.+][A-Za-z0-9_.+-]{0,58}\z/;
    my $engine_name;
    if (symlink($real, File::Spec->catfile($workdir, $short))) {
        $engine_name = $short;
    } elsif (length($real) <= MAX_ENGINE_NAME) {
        $engine_name = $real;
    } else {
        cleanup();
        fail(EXIT_INPUT, "cannot hand the engine a name of at most " . MAX_ENGINE_NAME .
             " characters for '$real' (no symbolic link in $workdir: $!)");
    }

    # Step 1: the sorted point file.
    my $segpid = "$$";
    my $pointfile = File::Spec->catfile($workdir, 'sort_pts.' . substr($segpid, 0, 5));
    my @extract = ($prog{dgnpoints});
    for my $c (sort keys %crit) { push @extract, $c, $crit{$c}; }
    push @extract, '--table', $opt{table} if defined $opt{table};
    push @extract, '--weights' if $opt{w};
    push @extract, '-P' if exists $opt{seen}{'-P'};
    push @extract, '--no-auto-weights' if flag_only();
    push @extract, '-a', $_ for @adjacent;
    push @extract, '-o', $pointfile, $real;
    my %info;
    {
        my $pid = open(my $out, '-|');
        if (!defined $pid) { cleanup(); fail(EXIT_SETUP, "cannot start dgnpoints: $!"); }
        if ($pid == 0) {
            exec { $extract[0] } @extract or do { print STDERR "$ME: cannot run dgnpoints: $!\n"; POSIX::_exit(127); };
        }
        while (my $line = <$out>) {
            $info{$1} = $2 if $line =~ /^(\w+)\s+(-?\d+)/;
        }
        close $out;
        my $st = child_status($?);
        if ($st != 0) {
            cleanup();
            exit($st == 2 ? EXIT_USAGE : $st == 3 ? EXIT_INPUT : EXIT_SETUP);
        }
    }
    my $records = $info{records} // 0;
    printf "%s: %d locations of %d selected elements of %s%s%s\n", $ME, $records - ($info{adjacent} // 0),
        $info{elements} // 0, $design,
        ($info{fixed} ? ", $info{fixed} of them fixed (not rebuilt)" : ''),
        ($info{adjacent} ? ", $info{adjacent} locations of adjacent sheets" : '');
    if ($records == 0) {
        print "$ME: no element of $design matches the selection; nothing to do\n";
        cleanup();
        exit 0;
    }

    # Step 2: the engine's command line and environment.
    my @args;
    for my $item (@engine) {
        if ($item->[1] && $item->[1] eq 'INPUT') {
            if ($item->[0] eq '-F') {
                push @args, '-F', $engine_name;
            } else {
                my $u = basename($opt{input});
                $u = 'sheets.ulf' if length($u) > 191 || $u =~ /^-/;
                push @args, '-U', $u;
            }
        } else {
            push @args, @$item;
        }
    }
    push @args, '-w' if $opt{w} || $info{weights};

    my $snapshot;
    if (defined $opt{report}) {
        $snapshot = File::Spec->catfile($workdir, 'before.dgn');
        unless (copy($real, $snapshot)) { cleanup(); fail(EXIT_SETUP, "cannot take a snapshot of '$real': $!"); }
    }

    $ENV{VKR_segpid} = $segpid;
    $ENV{VKR_segdim} = $info{dimension} // 2;
    $ENV{VKR_maxverts} = $records;
    if ($opt{ulf}) { $ENV{VKR_dgnname} = $engine_name; } else { delete $ENV{VKR_dgnname}; }
    $ENV{MS_EXE} = $ms_exe;

    # Step 3: run the engine in the working folder; its output goes straight through.
    $| = 1;
    $child_pid = fork();
    if (!defined $child_pid) { cleanup(); fail(EXIT_SETUP, "cannot start nodeweld: $!"); }
    if ($child_pid == 0) {
        chdir $workdir or do { print STDERR "$ME: cannot enter $workdir: $!\n"; POSIX::_exit(EXIT_SETUP); };
        exec { $prog{nodeweld} } 'nodeweld', @args
            or do { print STDERR "$ME: cannot run nodeweld: $!\n"; POSIX::_exit(EXIT_SETUP); };
    }
    waitpid($child_pid, 0);
    my $status = child_status($?);
    $child_pid = undef;
    print "\n";

    if (defined $opt{report}) {
        my @rep = ($prog{dgnreport}, $snapshot, $real, '-o', $opt{report}, '--name', $design);
        push @rep, '--csv' if $opt{report} =~ /\.csv\z/i;
        my $tol = exists $opt{seen}{'-T'} ? $opt{seen}{'-T'} : undef;
        push @rep, '--tolerance', $tol + 0 if defined $tol && $tol =~ /^\s*\d*\.?\d+(?:[eE][+-]?\d+)?\s*\z/;
        push @rep, report_flag_levels();
        if (system(@rep) == 0) {
            print "$ME: report written to $opt{report}\n";
        } else {
            print STDERR "$ME: the report could not be written\n";
            $status = EXIT_REPORT if $status == 0;
        }
    }
    cleanup();
    exit $status;
}

main();
