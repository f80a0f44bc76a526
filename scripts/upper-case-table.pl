#!/usr/bin/perl
# Prints the table of Source/resources/UpperCase.cpp: the simple upper-case
# mapping of every UTF-16 code unit that has one within the Basic
# Multilingual Plane, from the Unicode Character Database perl carries
# (Unicode::UCD, field 12 of UnicodeData.txt), as runs of units a fixed
# step apart that move by one offset. Run: perl scripts/upper-case-table.pl
use strict;
use warnings;
use Unicode::UCD qw(charinfo);

my @runs;  # [first, last, offset, step]
for my $unit (0 .. 0xFFFF) {
    next if $unit >= 0xD800 && $unit <= 0xDFFF;
    my $info = charinfo($unit) or next;
    next unless length $info->{upper};
    my $upper = hex $info->{upper};
    next if $upper > 0xFFFF || $upper == $unit;
    my $offset = $upper - $unit;
    if (@runs && $runs[-1][2] == $offset) {
        my $r = $runs[-1];
        my $gap = $unit - $r->[1];
        if (($r->[0] == $r->[1] && ($gap == 1 || $gap == 2)) || ($r->[0] != $r->[1] && $gap == $r->[3])) {
            $r->[3] = $gap;
            $r->[1] = $unit;
            next;
        }
    }
    push @runs, [$unit, $unit, $offset, 1];
}
printf "// Unicode %s: %d runs.\n", Unicode::UCD::UnicodeVersion(), scalar @runs;
my @cells = map { sprintf "{0x%04X, 0x%04X, %d, %d}", @$_ } @runs;
while (my @line = splice @cells, 0, 3) {
    print "    ", join(", ", @line), ",\n";
}
