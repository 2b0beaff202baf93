# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Another opinion on Kestrix's vCards: Perl's Text::vCard.
#
#     perl_peer.pl CARDS.json EXPORT4.vcf EXPORT3.vcf
#
# CARDS.json holds the cards, as for the Python peers (peer_cards.py).
# EXPORT4.vcf and EXPORT3.vcf are those cards as Kestrix exported them
# (vCard 4.0 and 3.0): Text::vCard::Addressbook reads each file, and FN,
# ORG, TEL, EMAIL, NOTE and ADR must hold the fields, compared as
# peer_cards.py compares them. Prints the differences and the counts; exits
# 1 on any difference, 3 when Text::vCard is not installed.

use strict;
use warnings;

use JSON::PP;

binmode STDOUT, ':encoding(UTF-8)';

BEGIN {
    unless (eval { require Text::vCard::Addressbook; 1 }) {
        print "perl_peer.pl cannot run: Debian's libtext-vcard-perl is missing\n";
        exit 3;
    }
}

my ($COMPANY, $CONTACT, $ADDRESS, $ADDRESS2, $CITY, $ST, $ZIP, $PHONE, $PHONE2, $CELL, $FAX, $EMAIL, $MEMO) = (0 .. 12);
my @ADDRESS_PARTS = qw(street extended city region post_code);
my $SHOWN = 20;

# Text::vCard takes back the escaped backslash, comma and semicolon but
# leaves "\n" and "\N" as written, where both vCard 3.0 and 4.0 make them a
# line break; this puts the line break in. (After the library's unescaping
# a backslash the card held before an "n" looks the same; the cards compared
# hold none.)
sub standard_text {
    my ($value) = @_;
    return '' unless defined $value;
    $value =~ s/\\[nN]/\n/g;
    return $value;
}

sub first_value {
    my ($card, $name) = @_;
    my $nodes = $card->get($name);
    return $nodes && @$nodes ? standard_text($nodes->[0]->value()) : '';
}

# The card's numbers by the box their type and label say, as the other
# peers find them; two in one box are joined, to show.
sub phones_of {
    my ($card) = @_;
    my %phones;
    for my $tel (@{ $card->get('TEL') || [] }) {
        my $box = $PHONE;
        if ($tel->is_type('cell')) {
            $box = $CELL;
        } elsif ($tel->is_type('fax')) {
            $box = $FAX;
        } elsif (my $group = $tel->group()) {
            my @labels = map { $_->value() } @{ $card->get_group($group, 'X-ABLABEL') };
            $box = $PHONE2 if grep { $_ eq 'PHONE 2' } @labels;
        }
        my $number = standard_text($tel->value());
        $phones{$box} = exists $phones{$box} ? "$phones{$box} | $number" : $number;
    }
    return \%phones;
}

# FN as the export writes it: the contact, else the company, else how the
# contact is reached.
sub full_name {
    my ($card) = @_;
    return $card->[$CONTACT] if $card->[$CONTACT] ne '';
    return $card->[$COMPANY] if $card->[$COMPANY] ne '';
    for my $box ($EMAIL, $PHONE, $PHONE2, $CELL, $FAX, $ADDRESS .. $ADDRESS + $#ADDRESS_PARTS) {
        (my $value = $card->[$box]) =~ s/^\s+|\s+$//g;
        return $value if $value ne '';
    }
    return '(no name)';
}

sub marked_as_company {
    my ($card) = @_;
    return lc(first_value($card, 'KIND')) eq 'org' || uc(first_value($card, 'X-ABSHOWAS')) eq 'COMPANY' ? 1 : 0;
}

sub org_of {
    my ($card) = @_;
    my $orgs = $card->get('ORG');
    return $orgs && @$orgs ? standard_text($orgs->[0]->name()) : '';
}

sub compare_file {
    my ($cards, $path, $version, $problems) = @_;
    my $book = Text::vCard::Addressbook->new({ source_file => $path });
    my @read = $book->vcards();
    if (@read != @$cards) {
        push @$problems, "$path: " . scalar(@read) . " cards where " . scalar(@$cards) . " were written";
        return 0;
    }
    my $fields = 0;
    for my $i (0 .. $#read) {
        my ($card, $got) = ($cards->[$i], $read[$i]);
        my $check = sub {
            my ($what, $value, $wanted) = @_;
            ++$fields;
            push @$problems, "$version card " . ($i + 1) . " $what: '$value' where '$wanted' was written"
                if $value ne $wanted;
        };
        $check->('FN', first_value($got, 'FN'), full_name($card));
        $check->('company mark', marked_as_company($got), $card->[$CONTACT] eq '' && $card->[$COMPANY] ne '' ? 1 : 0);
        $check->('ORG', org_of($got), $card->[$COMPANY]);
        my $phones = phones_of($got);
        for my $box ($PHONE, $PHONE2, $CELL, $FAX) {
            $check->('TEL of box ' . ($box + 1), $phones->{$box} // '', $card->[$box]);
        }
        $check->('EMAIL', first_value($got, 'EMAIL'), $card->[$EMAIL]);
        $check->('NOTE', first_value($got, 'NOTE'), $card->[$MEMO]);
        my $adr = ($got->get('ADR') || [])->[0];
        for my $part (0 .. $#ADDRESS_PARTS) {
            my $name = $ADDRESS_PARTS[$part];
            $check->("ADR $name", $adr ? standard_text($adr->$name()) : '', $card->[$ADDRESS + $part]);
        }
    }
    return $fields;
}

my ($cards_path, $export4, $export3) = @ARGV;
open my $stream, '<:raw', $cards_path or die "$cards_path: $!\n";
my $cards = JSON::PP->new->utf8->decode(do { local $/; <$stream> });
close $stream;
my @problems;
my $fields = 0;
$fields += compare_file($cards, $export4, '4.0', \@problems);
$fields += compare_file($cards, $export3, '3.0', \@problems);
print "$_\n" for @problems[0 .. ($#problems < $SHOWN - 1 ? $#problems : $SHOWN - 1)];
printf "Text::vCard read %d cards (4.0 and 3.0), compared %d fields, %d differ\n", 2 * @$cards, $fields,
    scalar @problems;
exit(@problems ? 1 : 0);
