// What a run comes to, read from soundcut's own report of it (which disks
// it recognised, and per disk what became of each region) and from the
// image's document (its disks, and the state of each sector a region
// needs): the verdict, and for each file where its bytes came from and
// which later disk could not give it.

const regionOf = (disk, file) => disk.regions.find((region) => region.file === file);
const wasCut = (disk, file) => {
  const region = regionOf(disk, file);
  return Boolean(region) && region.outcome === 'cut';
};

// empty, not-d88, not-found, cut or partial.
export function verdictOf(result) {
  const { report, facts } = result;
  if (result.imageBytes === 0) return 'empty';
  if (report.disks.length === 0) {
    // Not one disk header could be read: nothing in the file is a D88 disk.
    // A disk without tracks is still a disk.
    return result.map.disks.length > 0 ? 'not-found' : 'not-d88';
  }
  const everyFileCut = facts.regions.every(({ file }) => report.disks.some((disk) => wasCut(disk, file)));
  return report.exit_status === 0 && everyFileCut ? 'cut' : 'partial';
}

// The sectors a region of a disk lacked, each with its state in the
// image's document (missing, short or of another size).
function lackingOf(result, diskIndex, region) {
  const shown = result.map.disks.find((disk) => disk.index === diskIndex);
  const needed = shown && shown.regions ? regionOf(shown, region.file) : null;
  return (region.missing || []).map((sector) => {
    const same = needed && needed.sectors.find((need) =>
      ['track', 'c', 'h', 'r', 'n'].every((key) => need[key] === sector[key]));
    return { ...sector, state: same ? same.state : 'missing' };
  });
}

// For each file in the order cut: { file, from: the disk its bytes came
// from (the last that gave them, as on a console) or null, bytes, failed:
// every later disk that could not give them, with the sectors it lacked }.
export function fileOutcomes(result) {
  const disks = result.report.disks;
  return result.facts.regions.map(({ file }) => {
    let from = -1;
    disks.forEach((disk, k) => { if (wasCut(disk, file)) from = k; });
    const failed = disks.slice(from + 1)
      .map((disk) => ({ disk, region: regionOf(disk, file) }))
      .filter(({ region }) => region && (region.outcome === 'sectors_missing' || region.outcome === 'not_written'))
      .map(({ disk, region }) => ({ disk: disk.index, lacking: lackingOf(result, disk.index, region) }));
    return {
      file,
      from: from >= 0 ? disks[from].index : null,
      bytes: from >= 0 ? regionOf(disks[from], file).bytes : 0,
      failed,
    };
  });
}

// What a collection's table keeps of a run, and nothing more: the verdict
// (an empty file is no D88 image either), the disks recognised as disk A,
// and for each file the disk its bytes came from, or null.
export function summaryOf(result) {
  const verdict = verdictOf(result);
  return {
    verdict: verdict === 'empty' ? 'not-d88' : verdict,
    recognised: result.report.disks.map((disk) => disk.index),
    sources: fileOutcomes(result).map(({ from }) => from),
  };
}
