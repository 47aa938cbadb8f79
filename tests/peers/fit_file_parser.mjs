// Decodes a FIT file with the fit-file-parser package (an independent peer,
// installed into the build tree by scripts/install-deps.sh) and prints what
// the interoperability tests compare, one line each:
//   file <type>          the file_id message's type
//   count <message> <n>  laps, sessions, activity, course messages
//   course <name>        the course message's name
//   record <seconds since 1970> <lat> <lon> <altitude m> <speed m/s> <hr> <cadence> <power> <temperature>
// Absent values print as "-". Exit status 1 when the parser reports an error.
// Usage: node fit_file_parser.mjs PEERS_DIR FILE.fit
import { readFile } from 'node:fs/promises'
import { pathToFileURL } from 'node:url'

const [peers, file] = process.argv.slice(2)
const module = await import(pathToFileURL(`${peers}/node_modules/fit-file-parser/dist/fit-parser.js`))
const FitParser = module.default
const parser = new FitParser({ force: false, mode: 'list', speedUnit: 'm/s', lengthUnit: 'm',
                               temperatureUnit: 'celsius' })
let data
try {
  data = await parser.parseAsync(await readFile(file))
} catch (error) {
  console.error(String(error))
  process.exit(1)
}
const value = (v) => (v === undefined || v === null ? '-' : String(v))
console.log(`file ${value(data.file_ids?.[0]?.type)}`)
for (const name of ['laps', 'sessions', 'activity', 'course']) {
  const v = data[name]
  console.log(`count ${name} ${v === undefined ? 0 : Array.isArray(v) ? v.length : 1}`)
}
console.log(`course ${value(data.course?.name)}`)
for (const r of data.records ?? []) {
  const t = r.timestamp === undefined ? '-' : String(new Date(r.timestamp).getTime() / 1000)
  console.log(['record', t, value(r.position_lat), value(r.position_long),
               value(r.enhanced_altitude ?? r.altitude), value(r.enhanced_speed ?? r.speed),
               value(r.heart_rate), value(r.cadence), value(r.power), value(r.temperature)].join(' '))
}
