#!/usr/bin/perl
# Generates a large, realistic registry as a REGEDIT4 file, and the list of files that
# its existing references name (to create below drive_c).
#   gen-registry.pl --values N --reg OUT.reg --files OUT.list [--hives HKCU,HKLM,HKCR,HKU]
#                   [--under NAME] [--stale OUT.list]
# --under puts every key of HKCU, HKLM and HKU below Software\NAME (one key to export or
# delete as a whole); --stale lists each value that names a missing file, one
# "KEY|NAME" line (the name as the .reg file writes it), in the order written.
# A third of the values are strings naming files or folders, half of those missing; the
# rest are DWORDs, binaries and strings that name no file. Deterministic.
use strict;
use warnings;
use Getopt::Long;

my ($count, $regOut, $filesOut, $hives) = (200000, 'big.reg', 'files.list', 'HKCU,HKLM,HKCR,HKU');
my ($under, $staleOut) = ('', '');
GetOptions('values=i' => \$count, 'reg=s' => \$regOut, 'files=s' => \$filesOut,
           'hives=s' => \$hives, 'under=s' => \$under, 'stale=s' => \$staleOut)
  or die "bad arguments\n";
my @hives = split /,/, $hives;
my %weight = (HKCU => 40, HKLM => 35, HKCR => 20, HKU => 5);

my $seed = 20130307;
sub rnd { my ($n) = @_; $seed = ($seed * 1103515245 + 12345) % 2147483648; return int($seed / 65536) % $n; }
sub pick { my @a = @_; return $a[rnd(scalar @a)]; }

my @vendors = qw(Contoso Fabrikam Northwind Adatum Litware Proseware Tailspin Wingtip Woodgrove
                 Humongous Lucerne Margie Trey Coho Alpine Blue Graphic Relecloud Wide Fourth);
my @products = ('Studio', 'Reader', 'Sync Center', 'Backup', 'Media Player', 'Editor', 'Viewer',
                'Manager', 'Toolkit', 'Office Suite', 'Updater', 'Designer', 'PDF Tools', 'Cloud Drive');
my @sections = qw(Settings Preferences Plugins Recent Paths Components Options Window Toolbars
                  Licensing Update Profiles Templates Cache Extensions);
my @bases = ('C:\\Apps', 'C:\\ProgramData', 'C:\\Users\\Public\\Documents', 'C:\\Tools',
             'C:\\Program Files', 'C:\\Games');
my @exts = qw(exe dll ocx dat cfg log xml txt ini db chm hlp ico);
my @words = ('Default', 'Enabled', 'English', 'https://www.example.com/update', 'Blue', '1.0.4711',
             '{6B29FC40-CA47-1067-B31D-00DD010662DA}', 'True', 'Normal', '1024x768', 'UTF-8', '');

my %files;  # existing files, Unix paths below drive_c
my $fileNo = 0;
my $lastMissing = 0;  # whether the last fileReference named a missing file

sub esc { my ($s) = @_; $s =~ s/\\/\\\\/g; $s =~ s/"/\\"/g; return $s; }
sub unixPath { my ($p) = @_; $p =~ s/^C:\\//; $p =~ s/\\/\//g; return $p; }

# A Windows path that names a file or folder; half of them exist.
sub fileReference {
  my ($vendor, $product) = @_;
  my $base = pick(@bases);
  my $dir = "$base\\$vendor\\$product" . pick('', '\\bin', '\\lib', '\\data', '\\plugins', '\\help');
  my $ext = pick(@exts);
  $fileNo++;
  my $name = pick('module', 'setup', 'core', 'res', 'plugin', 'help', 'data', 'app') . $fileNo . ".$ext";
  my $exists = rnd(2) == 0;
  $lastMissing = !$exists;
  if (!$exists && rnd(2) == 0) { $dir = "$base\\$vendor\\Old $product " . rnd(9) . '.' . rnd(9); }
  my $path = "$dir\\$name";
  $files{unixPath($path)} = 1 if $exists;
  my $form = rnd(10);
  return "\"$path\" /" . pick('run', 'silent', 'x', 'background') if $form < 3 && $ext eq 'exe';
  return "$path,0" if $form < 5 && $ext eq 'dll';
  return "$dir\\" if $form == 9 && $exists && ($files{unixPath($dir) . '/.keep'} = 1);
  return $path;
}

sub valueLine {
  my ($name, $vendor, $product) = @_;
  my $kind = rnd(6);
  my $lhs = $name eq '@' ? '@' : '"' . esc($name) . '"';
  $lastMissing = 0;
  return "$lhs=\"" . esc(fileReference($vendor, $product)) . "\"" if $kind < 2;
  return sprintf('%s=dword:%08x', $lhs, rnd(100000)) if $kind == 2;
  if ($kind == 3) {
    my @b = map { sprintf '%02x', rnd(256) } 1 .. (4 + rnd(28));
    return "$lhs=hex:" . join(',', @b);
  }
  return "$lhs=\"" . esc(pick(@words)) . "\"";
}

my %rootName = (HKCU => 'HKEY_CURRENT_USER\\Software', HKLM => 'HKEY_LOCAL_MACHINE\\Software',
                HKU => 'HKEY_USERS\\.DEFAULT\\Software', HKCR => 'HKEY_CLASSES_ROOT');
if ($under ne '') { $rootName{$_} .= "\\$under" for qw(HKCU HKLM HKU); }
my $total = 0;
$total += $weight{$_} for @hives;

open(my $reg, '>', $regOut) or die "$regOut: $!\n";
binmode $reg;
print $reg "REGEDIT4\r\n\r\n";
my $stale;
if ($staleOut ne '') { open($stale, '>', $staleOut) or die "$staleOut: $!\n"; }
my $written = 0;
my $keyNo = 0;
while ($written < $count) {
  my $r = rnd($total);
  my $hive;
  for (@hives) { $hive = $_; last if ($r -= $weight{$_}) < 0; }
  my ($vendor, $product) = (pick(@vendors), pick(@products));
  $keyNo++;
  my ($key, @names);
  if ($hive eq 'HKCR') {
    if (rnd(2) == 0) {
      my $guid = sprintf('{%08X-%04X-%04X-%04X-%04X%08X}', $keyNo * 7919, rnd(65536), rnd(65536),
                         rnd(65536), rnd(65536), $keyNo);
      $key = "HKEY_CLASSES_ROOT\\CLSID\\$guid\\" . pick('InprocServer32', 'LocalServer32', 'DefaultIcon');
      @names = ('@', 'ThreadingModel');
    } else {
      (my $prog = "$vendor.$product") =~ s/ //g;
      $key = "HKEY_CLASSES_ROOT\\$prog.Document.$keyNo\\shell\\" . pick('open', 'edit', 'print') . '\\command';
      @names = ('@');
    }
  } else {
    $key = "$rootName{$hive}\\$vendor\\$product\\" . (1 + rnd(12)) . '.0\\' . pick(@sections);
    $key .= '\\' . pick(@sections) . rnd(50) if rnd(3) == 0;
    $key .= "\\Item$keyNo";
    @names = map { pick(qw(Path InstallDir Command Icon Library Data Version Name Size Flags Color
                           LastFile Help Module Url Mode)) . $_ } 1 .. (3 + rnd(14));
  }
  print $reg "[$key]\r\n";
  for my $name (@names) {
    last if $written >= $count;
    my $line = valueLine($name, $vendor, $product);
    print $reg $line, "\r\n";
    print $stale "$key|", ($line =~ /^(@|"(?:[^"\\]|\\.)*")=/)[0], "\n" if $stale && $lastMissing;
    $written++;
  }
  print $reg "\r\n";
}
close $reg;
close $stale if $stale;

open(my $list, '>', $filesOut) or die "$filesOut: $!\n";
print $list "$_\n" for sort keys %files;
close $list;
printf STDERR "%d values in %d keys, %d existing files\n", $written, $keyNo, scalar keys %files;
