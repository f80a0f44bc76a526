#!/usr/bin/perl
# Regenerates the case tables of resource names from the Unicode Character
# Database perl carries (Unicode::UCD; fields 12 and 13 of UnicodeData.txt,
# the simple one-to-one mappings), within the Basic Multilingual Plane, as
# runs of units a fixed step apart that move by one offset:
#   Source/resources/ResNameCase.cpp  kUpperCaseRuns: the upper case the
#       system's loader gives a unit. A unit changes only where its capital
#       lowers back to it: final sigma, dotless i, title-case digraphs, the
#       Greek symbol forms and the like have a capital whose lower case is
#       another letter, and the loader leaves them as they are.
#   tests/resources/LowerCaseRuns.h  kLowerCaseRuns: every simple lower
#       case, against which the tests check the upper-case table.
# Each table is rewritten in place between its opening line and the next
# "};". Run: perl scripts/upper-case-table.pl
use strict;
use warnings;
use FindBin;
use Unicode::UCD qw(charinfo);

my $root = "$FindBin::Bin/..";

# The simple mapping of one field ('upper' or 'lower'), or the unit itself.
sub simple {
    my ($unit, $field) = @_;
    my $info = charinfo($unit) or return $unit;
    return length $info->{$field} ? hex $info->{$field} : $unit;
}

# Runs [first, last, offset, step] of the units that map moves elsewhere.
sub runs {
    my ($map) = @_;
    my @runs;
    for my $unit (0 .. 0xFFFF) {
        next if $unit >= 0xD800 && $unit <= 0xDFFF;
        my $to = $map->($unit);
        next if $to > 0xFFFF || $to == $unit;
        my $offset = $to - $unit;
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
    return @runs;
}

sub rewrite {
    my ($file, $opening, @runs) = @_;
    my $path = "$root/$file";
    open my $in, '<', $path or die "$path: $!\n";
    my $text = do { local $/; <$in> };
    close $in;
    my $body = sprintf "    // Unicode %s: %d runs.\n", Unicode::UCD::UnicodeVersion(), scalar @runs;
    my @cells = map { sprintf "{0x%04X, 0x%04X, %d, %d}", @$_ } @runs;
    while (my @line = splice @cells, 0, 3) {
        $body .= "    " . join(", ", @line) . ",\n";
    }
    $text =~ s/^(\Q$opening\E\n).*?^(\};)$/$1$body$2/ms or die "$path: no line \"$opening\"\n";
    open my $out, '>', $path or die "$path: $!\n";
    print $out $text;
    close $out or die "$path: $!\n";
}

rewrite('Source/resources/ResNameCase.cpp', 'constexpr TCaseRun kUpperCaseRuns[] = {', runs(sub {
    my ($unit) = @_;
    my $upper = simple($unit, 'upper');
    return simple($upper, 'lower') == $unit ? $upper : $unit;
}));
rewrite('tests/resources/LowerCaseRuns.h', 'inline constexpr velto::TCaseRun kLowerCaseRuns[] = {',
        runs(sub { simple($_[0], 'lower') }));
