#!/usr/bin/perl
# Rewrites the table in Source/resources/ResNameCase.cpp in place: the upper
# case the system's loader gives UTF-16 code units, from the simple mappings
# of the Unicode Character Database perl carries (Unicode::UCD), as runs of
# units a fixed step apart that move by one offset. A unit changes only where
# its capital lowers back to it (final sigma and dotless i stay, as in the
# loader). Run: perl scripts/upper-case-table.pl
use strict;
use warnings;
use FindBin;
use Unicode::UCD qw(charinfo);

my @runs;  # [first, last, offset, step]
for my $unit (0 .. 0xFFFF) {
    next if $unit >= 0xD800 && $unit <= 0xDFFF;
    my $info = charinfo($unit) or next;
    next unless length $info->{upper};
    my $upper = hex $info->{upper};
    next if $upper > 0xFFFF || $upper == $unit || hex(charinfo($upper)->{lower}) != $unit;
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
my $table = sprintf "    // Unicode %s: %d runs.\n", Unicode::UCD::UnicodeVersion(), scalar @runs;
my @cells = map { sprintf "{0x%04X, 0x%04X, %d, %d}", @$_ } @runs;
while (my @line = splice @cells, 0, 3) {
    $table .= "    " . join(", ", @line) . ",\n";
}
my $path = "$FindBin::Bin/../Source/resources/ResNameCase.cpp";
my $text = do { local (@ARGV, $/) = $path; <> } // die "$path: $!\n";
$text =~ s/^(constexpr TCaseRun kUpperCaseRuns\[\] = \{\n).*?^\};/$1$table};/ms or die "$path: no table\n";
open my $out, '>', $path or die "$path: $!\n";
print $out $text and close $out or die "$path: $!\n";
