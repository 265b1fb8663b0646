#!/usr/bin/perl
# Stand-in for the driver script in the front end's tests. Writes its
# arguments, one a line, to the file named by NW_FAKE_RECORD and ends as
# NW_FAKE_EXIT says: a number is the exit code, INT ends by an interrupt,
# WAIT waits up to a minute (until interrupted).
use strict;
use warnings;

my $rec = $ENV{NW_FAKE_RECORD} // '';
if ($rec ne '') {
  open(my $fh, '>', $rec) or die "cannot write $rec: $!";
  print $fh "$_\n" for @ARGV;
  close $fh or die "cannot write $rec: $!";
}
$| = 1;
print "fake driver: @ARGV\n";
my $how = $ENV{NW_FAKE_EXIT} // '0';
if ($how eq 'INT') {
  $SIG{INT} = 'DEFAULT';
  kill 'INT', $$;
  sleep 5;
  exit 99;
}
if ($how eq 'WAIT') {
  sleep 60;
  exit 98;
}
exit($how + 0);
