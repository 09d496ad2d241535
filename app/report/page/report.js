// The report page: reads the JSON data embedded in the page and draws the 3D
// view (plain WebGL 1), the class table, the segments, the value histograms, the annealing trace
// and the run's facts. Sets data-drawn="1" on <body> once everything is drawn,
// and data-errors to the number of errors met.
(function () {
  'use strict';

  var SVG_NS = 'http://www.w3.org/2000/svg';
  var data = JSON.parse(document.getElementById('vornel-data').textContent);
  var classCount = data.classColours.length;
  var hiddenClasses = [];
  for (var c = 0; c < classCount; ++c) hiddenClasses.push(false);

  // ---- small helpers ------------------------------------------------------

  function element(tag, attributes, text) {
    var node = document.createElement(tag);
    for (var name in attributes) node.setAttribute(name, attributes[name]);
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function svgElement(tag, attributes, text) {
    var node = document.createElementNS(SVG_NS, tag);
    for (var name in attributes) node.setAttribute(name, attributes[name]);
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function formatNumber(value) {
    if (value === null || value === undefined) return '—';
    if (value === 0) return '0';
    var magnitude = Math.abs(value);
    if (magnitude >= 1e6 || magnitude < 1e-4) return value.toExponential(4);
    return String(Number(value.toPrecision(6)));
  }

  function formatCount(value) {
    return String(value).replace(/\B(?=(\d{3})+(?!\d))/g, ' ');
  }

  function formatPercent(part, whole) {
    return whole > 0 ? (100 * part / whole).toFixed(1) + ' %' : '—';
  }

  function formatBytes(bytes) {
    if (!bytes) return 'unknown';
    var units = ['B', 'KiB', 'MiB', 'GiB'];
    var unit = 0;
    while (bytes >= 1024 && unit + 1 < units.length) { bytes /= 1024; ++unit; }
    return bytes.toFixed(unit === 0 ? 0 : 1) + ' ' + units[unit];
  }

  function rgb(colour) {
    return 'rgb(' + colour[0] + ',' + colour[1] + ',' + colour[2] + ')';
  }

  function swatch(colour) {
    var box = element('span', { class: 'swatch' });
    box.style.background = rgb(colour);
    return box;
  }

  var BASE64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
  var base64Digit = new Uint8Array(128);
  for (var digit = 0; digit < 64; ++digit) base64Digit[BASE64.charCodeAt(digit)] = digit;

  /// The bytes of a base64 string (a table-driven loop: several times faster
  /// than atob and a copy for the large arrays of the 3D view).
  function decodeBase64(text) {
    var length = text.length;
    while (length > 0 && text.charCodeAt(length - 1) === 61) --length; // '=' padding
    var bytes = new Uint8Array((length * 3) >> 2);
    var j = 0, k = 0, group;
    for (; k + 4 <= length; k += 4) {
      group = base64Digit[text.charCodeAt(k)] << 18 | base64Digit[text.charCodeAt(k + 1)] << 12 |
        base64Digit[text.charCodeAt(k + 2)] << 6 | base64Digit[text.charCodeAt(k + 3)];
      bytes[j++] = group >> 16; bytes[j++] = (group >> 8) & 255; bytes[j++] = group & 255;
    }
    if (length - k >= 2) {
      group = base64Digit[text.charCodeAt(k)] << 18 | base64Digit[text.charCodeAt(k + 1)] << 12 |
        (length - k === 3 ? base64Digit[text.charCodeAt(k + 2)] << 6 : 0);
      bytes[j++] = group >> 16;
      if (length - k === 3) bytes[j++] = (group >> 8) & 255;
    }
    return bytes;
  }

  var littleEndianHost = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;

  /// A Float32Array or Uint32Array from base64 little-endian words.
  function decodeWords(text, ArrayType) {
    var bytes = decodeBase64(text);
    var count = bytes.length / 4;
    if (littleEndianHost) return new ArrayType(bytes.buffer, 0, count);
    var view = new DataView(bytes.buffer);
    var words = new ArrayType(count);
    for (var i = 0; i < count; ++i)
      words[i] = ArrayType === Float32Array ? view.getFloat32(4 * i, true) : view.getUint32(4 * i, true);
    return words;
  }

  /// About `count` round tick values covering [low, high].
  function ticks(low, high, count) {
    if (!(high > low)) return [low];
    var step = Math.pow(10, Math.floor(Math.log10((high - low) / count)));
    var error = (high - low) / count / step;
    if (error >= 7.5) step *= 10; else if (error >= 3.5) step *= 5; else if (error >= 1.5) step *= 2;
    var result = [];
    for (var t = Math.ceil(low / step) * step; t <= high + step * 1e-9; t += step)
      result.push(Math.abs(t) < step * 1e-9 ? 0 : t);
    return result;
  }

  function snapshot(when) {
    for (var i = data.classes.length - 1; i >= 0; --i)
      if (data.classes[i].when === when) return data.classes[i];
    return null;
  }

  // ---- summary and run table ------------------------------------------------

  function drawSummary() {
    var name = data.files.mesh;
    document.title = 'Vornel report: ' + name;
    document.getElementById('summary').textContent =
      name + ': ' + formatCount(data.vertexCount) + ' vertices, ' + formatCount(data.facetCount) +
      ' facets, ' + classCount + (classCount === 1 ? ' class' : ' classes') + ' (vornel ' +
      data.version + ')';
  }

  function parameterText() {
    if (data.parameters.length === 0) return 'none (one class)';
    var lines = data.parameters.map(function (fit, round) {
      var parts = [];
      for (var l = 0; l + 1 < fit.length; ++l) parts.push('θ' + (l + 1) + ' = ' + formatNumber(fit[l]));
      parts.push('β = ' + formatNumber(fit[fit.length - 1]));
      return (data.parameters.length > 1 ? 'round ' + (round + 1) + ': ' : '') + parts.join(', ');
    });
    return lines.join('\n');
  }

  function drawRunTable() {
    var s = data.settings;
    var stages = data.stages.map(function (stage) {
      return stage.stage + ': ' + stage.seconds.toFixed(3) + ' s';
    });
    var rows = [
      ['Mesh file', data.files.mesh],
      ['Values', data.files.attributes],
      ['Label file', data.files.labels],
      ['Coloured mesh', data.files.colouredMesh || '—'],
      ['Report', data.files.report],
      ['Vertices', formatCount(data.vertexCount)],
      ['Facets', formatCount(data.facetCount)],
      ['Classes (ClustNb)', String(s.classCount)],
      ['Filter passes (MedianNb)', String(s.filterPasses)],
      ['Sweeps (IterNB)', s.sweeps + ' asked, ' + data.trace.sweep.length + ' run'],
      ['Seed', s.seed === null ? '—' : s.seed + (s.seedGiven ? ' (--seed)' : ' (from the clock)')],
      ['Model', s.refine ? 'refined (--refine)' : 'plain'],
      ['Schedule', 'T0 = ' + formatNumber(s.initialTemperature) + ', cooling ' + formatNumber(s.coolingFactor)],
      ['Other options', [s.repair ? '--repair' : '', s.verbose ? '--verbose' : ''].filter(Boolean).join(' ') || '—'],
      ['Fitted parameters', parameterText()],
      ['Fallback', data.fallback || 'none'],
      ['Warnings', data.warnings.length ? data.warnings.join('\n') : 'none'],
      ['Notes', data.notes.join('\n') || '—'],
      ['Time per stage', stages.join('\n')],
      ['Time until the report', data.elapsedSeconds.toFixed(3) + ' s'],
      ['Peak memory', formatBytes(data.peakMemoryBytes)]
    ];
    var table = document.getElementById('run-table');
    rows.forEach(function (row) {
      var tr = element('tr');
      tr.appendChild(element('th', {}, row[0]));
      var cell = element('td', {}, row[1]);
      cell.style.whiteSpace = 'pre-wrap';
      tr.appendChild(cell);
      table.appendChild(tr);
    });
  }

  // ---- class table and legend -----------------------------------------------

  /// Indices of a snapshot's classes by increasing mean (k-means numbers its
  /// clusters in seeding order; the final classes are ordered already).
  function byMean(classes) {
    var order = classes.means.map(function (_, i) { return i; });
    // With several features: the first feature's mean, then the second's, ...
    var keys = classes.featureMeans || classes.means.map(function (m) { return [m]; });
    order.sort(function (a, b) {
      for (var f = 0; f < keys[a].length; ++f)
        if (keys[a][f] !== keys[b][f]) return keys[a][f] - keys[b][f];
      return a - b;
    });
    return order;
  }

  /// A class's mean or variance: one number, or one per feature.
  function statisticText(single, perFeature, i) {
    return perFeature ? perFeature[i].map(formatNumber).join(', ') : formatNumber(single[i]);
  }

  function drawClassTable() {
    var kmeans = snapshot('after k-means');
    var final = snapshot('final');
    var groups = [['k-means', kmeans], ['final', final]].filter(function (g) { return g[1]; });
    var table = document.getElementById('class-table');
    var head = element('tr');
    head.appendChild(element('th', { rowspan: 2, class: 'text' }, 'class'));
    groups.forEach(function (g) { head.appendChild(element('th', { colspan: 4 }, g[0] + ' classes')); });
    table.appendChild(head);
    var sub = element('tr');
    groups.forEach(function () {
      ['vertices', 'share', 'mean', 'variance'].forEach(function (name) { sub.appendChild(element('th', {}, name)); });
    });
    table.appendChild(sub);
    var orders = groups.map(function (g) { return byMean(g[1]); });
    var totals = groups.map(function (g) { return g[1].sizes.reduce(function (a, b) { return a + b; }, 0); });
    for (var row = 0; row < classCount; ++row) {
      var tr = element('tr');
      var label = element('td', { class: 'text' });
      label.appendChild(swatch(data.classColours[row]));
      label.appendChild(document.createTextNode(' ' + row));
      tr.appendChild(label);
      groups.forEach(function (g, k) {
        var i = orders[k][row];
        var classes = g[1];
        tr.appendChild(element('td', {}, formatCount(classes.sizes[i])));
        tr.appendChild(element('td', {}, formatPercent(classes.sizes[i], totals[k])));
        tr.appendChild(element('td', {}, statisticText(classes.means, classes.featureMeans, i)));
        tr.appendChild(element('td', {}, statisticText(classes.variances, classes.featureVariances, i)));
      });
      table.appendChild(tr);
    }
  }

  function drawLegend(onChange) {
    var legend = document.getElementById('legend');
    var final = snapshot('final');
    legend.appendChild(element('div', { class: 'note' }, 'Classes (click to hide or show):'));
    data.classColours.forEach(function (colour, label) {
      var item = element('div', { class: 'legend-item', role: 'button', 'data-class': label });
      item.appendChild(swatch(colour));
      var count = final ? ' (' + formatCount(final.sizes[label]) + ')' : '';
      item.appendChild(document.createTextNode('class ' + label + count));
      item.addEventListener('click', function () {
        hiddenClasses[label] = !hiddenClasses[label];
        item.classList.toggle('hidden-class', hiddenClasses[label]);
        onChange();
      });
      legend.appendChild(item);
    });
  }

  function drawValueScale(low, high) {
    var scale = document.getElementById('value-scale');
    scale.appendChild(element('div', { class: 'note' }, 'Attribute value:'));
    var bar = element('div', { class: 'bar' });
    var stops = [];
    for (var i = 0; i < 256; i += 15) stops.push(rgb(data.ramp[i]));
    stops.push(rgb(data.ramp[255]));
    bar.style.background = 'linear-gradient(to right, ' + stops.join(', ') + ')';
    scale.appendChild(bar);
    var ends = element('div', { class: 'ends' });
    ends.appendChild(element('span', {}, formatNumber(low)));
    ends.appendChild(element('span', {}, formatNumber(high)));
    scale.appendChild(ends);
  }

  // ---- SVG plots --------------------------------------------------------------

  /// A plot frame: scales from data to pixels and the axes.
  function plotFrame(svg, margin, xRange, yRange) {
    var width = Number(svg.getAttribute('width'));
    var height = Number(svg.getAttribute('height'));
    var frame = {
      left: margin.left, right: width - margin.right, top: margin.top, bottom: height - margin.bottom,
      x: function (v) { return frame.left + (v - xRange[0]) / (xRange[1] - xRange[0] || 1) * (frame.right - frame.left); },
      y: function (v) { return frame.bottom - (v - yRange[0]) / (yRange[1] - yRange[0] || 1) * (frame.bottom - frame.top); }
    };
    return frame;
  }

  function drawXAxis(svg, frame, range, label, format) {
    var axis = svgElement('g', { class: 'axis' });
    axis.appendChild(svgElement('line', { x1: frame.left, x2: frame.right, y1: frame.bottom, y2: frame.bottom }));
    ticks(range[0], range[1], 8).forEach(function (t) {
      var x = frame.x(t);
      axis.appendChild(svgElement('line', { x1: x, x2: x, y1: frame.bottom, y2: frame.bottom + 4 }));
      axis.appendChild(svgElement('text', { x: x, y: frame.bottom + 16, 'text-anchor': 'middle' }, format(t)));
    });
    axis.appendChild(svgElement('text', { x: (frame.left + frame.right) / 2, y: frame.bottom + 32, 'text-anchor': 'middle' }, label));
    svg.appendChild(axis);
  }

  function drawYAxis(svg, frame, range, label, side, colour) {
    var x0 = side === 'left' ? frame.left : frame.right;
    var direction = side === 'left' ? -1 : 1;
    var axis = svgElement('g', { class: 'axis' });
    axis.appendChild(svgElement('line', { x1: x0, x2: x0, y1: frame.top, y2: frame.bottom }));
    ticks(range[0], range[1], 5).forEach(function (t) {
      var y = frame.y(t);
      if (side === 'left')
        svg.appendChild(svgElement('line', { class: 'grid', x1: frame.left, x2: frame.right, y1: y, y2: y }));
      axis.appendChild(svgElement('line', { x1: x0, x2: x0 + 4 * direction, y1: y, y2: y }));
      axis.appendChild(svgElement('text', {
        x: x0 + 7 * direction, y: y + 4, 'text-anchor': side === 'left' ? 'end' : 'start'
      }, formatNumber(t)));
    });
    var labelX = x0 + direction * 52;
    var text = svgElement('text', {
      x: labelX, y: (frame.top + frame.bottom) / 2, 'text-anchor': 'middle',
      transform: 'rotate(-90 ' + labelX + ' ' + (frame.top + frame.bottom) / 2 + ')'
    }, label);
    if (colour) text.style.fill = colour;
    axis.appendChild(text);
    svg.appendChild(axis);
  }

  var MAX_TRACE_BARS = 600;

  function largest(numbers) {
    var result = -Infinity;
    for (var i = 0; i < numbers.length; ++i) result = Math.max(result, numbers[i]);
    return result;
  }

  function normalDensity(x, mean, variance) {
    return Math.exp(-0.5 * (x - mean) * (x - mean) / variance) / Math.sqrt(2 * Math.PI * variance);
  }

  /// The per-class statistic of one feature: with a single feature the plain
  /// array, with several the feature's column of the per-class rows.
  function featureStatistic(single, perFeature, feature) {
    if (!perFeature) return single;
    return perFeature.map(function (row) { return row[feature]; });
  }

  /// One value histogram, stacked by class, under each final class's normal
  /// density; feature picks the means and variances of a feature (by index)
  /// when there are several.
  function drawHistogram(svg, h, feature, label) {
    if (h.binCount === 0) return;
    var totals = [];
    for (var b = 0; b < h.binCount; ++b) {
      var sum = 0;
      for (var c = 0; c < h.counts.length; ++c) sum += h.counts[c][b];
      totals.push(sum);
    }
    var final = snapshot('final');
    var means = final && featureStatistic(final.means, final.featureMeans, feature);
    var variances = final && featureStatistic(final.variances, final.featureVariances, feature);
    var xRange = [h.low, h.low + h.binCount * h.binWidth];
    var barMax = largest(totals);
    var curves = [];
    if (final) {
      means.forEach(function (mean, label) {
        var variance = variances[label];
        if (!(variance > 0)) return;
        var points = [];
        for (var i = 0; i <= 240; ++i) {
          var x = xRange[0] + (xRange[1] - xRange[0]) * i / 240;
          points.push([x, final.sizes[label] * h.binWidth * normalDensity(x, mean, variance)]);
        }
        curves.push({ label: label, points: points });
      });
    }
    var curveMax = 0;
    curves.forEach(function (curve) {
      curve.points.forEach(function (p) { curveMax = Math.max(curveMax, p[1]); });
    });
    // A very narrow class would flatten the bars: its peak is clipped instead.
    var yRange = [0, Math.max(barMax, Math.min(curveMax, 2 * barMax)) * 1.05 || 1];
    var frame = plotFrame(svg, { left: 70, right: 20, top: 12, bottom: 44 }, xRange, yRange);
    drawYAxis(svg, frame, yRange, 'vertices', 'left');
    drawXAxis(svg, frame, xRange, label, formatNumber);
    var bars = svgElement('g', { class: 'bars' });
    for (b = 0; b < h.binCount; ++b) {
      var x0 = frame.x(h.low + b * h.binWidth);
      var x1 = frame.x(h.low + (b + 1) * h.binWidth);
      var stacked = 0;
      for (c = 0; c < h.counts.length; ++c) {
        var count = h.counts[c][b];
        if (count === 0) continue;
        var top = frame.y(stacked + count);
        var rect = svgElement('rect', {
          x: x0, y: top, width: Math.max(x1 - x0 - 0.5, 0.5), height: frame.y(stacked) - top,
          fill: rgb(data.classColours[c])
        });
        rect.appendChild(svgElement('title', {}, 'class ' + c + ': ' + count + ' vertices in [' +
          formatNumber(h.low + b * h.binWidth) + ', ' + formatNumber(h.low + (b + 1) * h.binWidth) + ')'));
        bars.appendChild(rect);
        stacked += count;
      }
    }
    svg.appendChild(bars);
    var clip = svgElement('clipPath', { id: svg.id + '-clip' });
    clip.appendChild(svgElement('rect', { x: frame.left, y: frame.top, width: frame.right - frame.left, height: frame.bottom - frame.top }));
    svg.appendChild(clip);
    var lines = svgElement('g', { class: 'densities', 'clip-path': 'url(#' + svg.id + '-clip)' });
    curves.forEach(function (curve) {
      var path = curve.points.map(function (p, i) {
        return (i === 0 ? 'M' : 'L') + frame.x(p[0]).toFixed(2) + ',' + frame.y(p[1]).toFixed(2);
      }).join('');
      lines.appendChild(svgElement('path', { d: path, fill: 'none', stroke: '#000000', 'stroke-width': 3.5, 'stroke-opacity': 0.55 }));
      var line = svgElement('path', { d: path, fill: 'none', stroke: rgb(data.classColours[curve.label]), 'stroke-width': 2 });
      line.appendChild(svgElement('title', {}, 'class ' + curve.label + ': normal density, mean ' +
        formatNumber(means[curve.label]) + ', variance ' + formatNumber(variances[curve.label])));
      lines.appendChild(line);
    });
    svg.appendChild(lines);
  }

  /// The joint density of the first two features: one cell per bin pair, in
  /// the colour of the class most of its vertices belong to, more opaque where
  /// more vertices fall.
  function drawFeatureDensity(svg, density, names) {
    var x = density.x, y = density.y;
    if (x.binCount === 0 || y.binCount === 0) return;
    var xRange = [x.low, x.low + x.binCount * x.binWidth];
    var yRange = [y.low, y.low + y.binCount * y.binWidth];
    var frame = plotFrame(svg, { left: 70, right: 20, top: 12, bottom: 44 }, xRange, yRange);
    drawYAxis(svg, frame, yRange, names[1], 'left');
    drawXAxis(svg, frame, xRange, names[0], formatNumber);
    var scale = Math.log(1 + largest(density.counts)) || 1;
    var cells = svgElement('g', { class: 'cells' });
    density.counts.forEach(function (count, cell) {
      if (count === 0) return;
      var column = cell % x.binCount, row = Math.floor(cell / x.binCount);
      var x0 = frame.x(x.low + column * x.binWidth), x1 = frame.x(x.low + (column + 1) * x.binWidth);
      var y0 = frame.y(y.low + row * y.binWidth), y1 = frame.y(y.low + (row + 1) * y.binWidth);
      var label = density.classes[cell];
      var rect = svgElement('rect', {
        x: x0, y: y1, width: Math.max(x1 - x0, 0.5), height: Math.max(y0 - y1, 0.5),
        fill: rgb(data.classColours[label]), 'fill-opacity': (0.2 + 0.8 * Math.log(1 + count) / scale).toFixed(3)
      });
      rect.appendChild(svgElement('title', {}, count + ' vertices, most of class ' + label));
      cells.appendChild(rect);
    });
    svg.appendChild(cells);
  }

  /// With one feature the values' histogram; with several one histogram per
  /// feature, named after its source, and the density of the first two.
  function drawValues() {
    var features = data.features;
    if (!features) {
      drawHistogram(document.getElementById('histogram'), data.histogram, 0, 'attribute value');
      return;
    }
    var first = document.getElementById('histogram');
    var place = first.nextSibling;
    features.histograms.forEach(function (h, k) {
      var svg = first;
      if (k > 0) {
        svg = svgElement('svg', { id: 'histogram-' + k, width: 760, height: 330, role: 'img',
          'aria-label': 'value histogram of ' + features.names[k] });
        first.parentNode.insertBefore(svg, place);
      }
      drawHistogram(svg, h, k, features.names[k]);
    });
    var density = svgElement('svg', { id: 'feature-density', width: 760, height: 480, role: 'img',
      'aria-label': 'density of ' + features.names[0] + ' and ' + features.names[1] });
    first.parentNode.insertBefore(density, place);
    drawFeatureDensity(density, features.density, features.names);
    var note = element('p', { class: 'note' }, 'The last plot bins the vertices by their first two ' +
      'features: each cell takes the colour of the class most of its vertices belong to, more ' +
      'opaque where more vertices fall.');
    first.parentNode.appendChild(note);
  }

  // ---- segments -----------------------------------------------------------------

  // Distinct colours for the "segments" view; neighbouring segments have
  // different indices, and indices beyond the table take golden-angle hues.
  var SEGMENT_PALETTE = [[31, 119, 180], [255, 127, 14], [44, 160, 44], [214, 39, 40],
    [148, 103, 189], [140, 86, 75], [227, 119, 194], [188, 189, 34], [23, 190, 207],
    [255, 221, 87], [0, 64, 128], [160, 255, 160]];

  var segmentColourCache = SEGMENT_PALETTE.slice();

  function segmentColour(index) {
    if (!segmentColourCache[index]) segmentColourCache[index] = extraSegmentColour(index);
    return segmentColourCache[index];
  }

  function extraSegmentColour(index) {
    var hue = (index * 137.508) % 360 / 60;
    var lightness = [0.35, 0.55, 0.75][index % 3];
    var chroma = (1 - Math.abs(2 * lightness - 1)) * 0.7;
    var x = chroma * (1 - Math.abs(hue % 2 - 1));
    var parts = [[chroma, x, 0], [x, chroma, 0], [0, chroma, x], [0, x, chroma], [x, 0, chroma], [chroma, 0, x]][Math.floor(hue) % 6];
    var m = lightness - chroma / 2;
    return parts.map(function (p) { return Math.round((p + m) * 255); });
  }

  function sizeBinText(bin) {
    var low = Math.pow(2, bin), high = 2 * low - 1;
    return low === high ? formatCount(low) : formatCount(low) + '–' + formatCount(high);
  }

  function drawSegmentSizes(bins) {
    var svg = document.getElementById('segment-sizes');
    if (bins.length === 0) { svg.setAttribute('height', 0); return; }
    var yRange = [0, largest(bins) * 1.05 || 1];
    var frame = plotFrame(svg, { left: 70, right: 20, top: 12, bottom: 44 }, [0, bins.length], yRange);
    drawYAxis(svg, frame, yRange, 'segments', 'left');
    var axis = svgElement('g', { class: 'axis' });
    axis.appendChild(svgElement('line', { x1: frame.left, x2: frame.right, y1: frame.bottom, y2: frame.bottom }));
    var bars = svgElement('g', { class: 'bars' });
    // Each bar is labelled by its lowest size; labels keep 56 pixels apart.
    var labelEvery = Math.ceil(56 / (frame.x(1) - frame.x(0)));
    bins.forEach(function (count, bin) {
      var x0 = frame.x(bin), x1 = frame.x(bin + 1);
      var top = frame.y(count);
      var rect = svgElement('rect', { x: x0 + 1, y: top, width: Math.max(x1 - x0 - 2, 0.5), height: frame.bottom - top, fill: '#7aa6d6' });
      rect.appendChild(svgElement('title', {}, formatCount(count) + ' segments of ' + sizeBinText(bin) + ' vertices'));
      bars.appendChild(rect);
      if (bin % labelEvery === 0)
        axis.appendChild(svgElement('text', { x: (x0 + x1) / 2, y: frame.bottom + 16, 'text-anchor': 'middle' }, formatCount(Math.pow(2, bin))));
    });
    axis.appendChild(svgElement('text', { x: (frame.left + frame.right) / 2, y: frame.bottom + 32, 'text-anchor': 'middle' }, 'vertices per segment (each bar from its number to just below twice it)'));
    svg.appendChild(bars);
    svg.appendChild(axis);
  }

  function drawSegments() {
    var segments = data.segments;
    document.getElementById('segment-count').textContent = formatCount(segments.count) +
      (segments.count === 1 ? ' segment' : ' segments') + (segments.largest.length < segments.count
        ? '; the table lists the ' + segments.largest.length + ' largest.' : '.');
    drawSegmentSizes(segments.sizeBins);
    var table = document.getElementById('segment-table');
    var head = element('tr');
    ['segment', 'class', 'vertices', 'share', 'area', 'mean value'].forEach(function (name) {
      head.appendChild(element('th', {}, name));
    });
    table.appendChild(head);
    segments.largest.forEach(function (row) {
      var tr = element('tr');
      tr.appendChild(element('td', {}, String(row.segment)));
      var label = element('td', { class: 'text' });
      label.appendChild(swatch(data.classColours[row['class']]));
      label.appendChild(document.createTextNode(' ' + row['class']));
      tr.appendChild(label);
      tr.appendChild(element('td', {}, formatCount(row.vertices)));
      tr.appendChild(element('td', {}, formatPercent(row.vertices, data.vertexCount)));
      tr.appendChild(element('td', {}, formatNumber(row.area)));
      tr.appendChild(element('td', {}, formatNumber(row.meanValue)));
      table.appendChild(tr);
    });
  }

  function drawTrace() {
    var svg = document.getElementById('trace');
    var t = data.trace;
    var count = t.sweep.length;
    if (count === 0) {
      svg.setAttribute('height', 40);
      svg.appendChild(svgElement('text', { x: 10, y: 24 }, 'No annealing sweep ran.'));
      return;
    }
    var temperatureMax = largest(t.temperature);
    var changedMax = largest(t.changed);
    var xRange = [0.5, count + 0.5];
    var temperatureRange = [0, temperatureMax * 1.05 || 1];
    var changedRange = [0, changedMax * 1.05 || 1];
    var frame = plotFrame(svg, { left: 70, right: 80, top: 24, bottom: 44 }, xRange, temperatureRange);
    var changedFrame = plotFrame(svg, { left: 70, right: 80, top: 24, bottom: 44 }, xRange, changedRange);
    drawYAxis(svg, frame, temperatureRange, 'temperature', 'left', '#b2182b');
    drawYAxis(svg, changedFrame, changedRange, 'labels changed', 'right', '#2c5d9e');
    drawXAxis(svg, frame, [1, count], 'sweep (all rounds in order)', function (v) {
      return Number.isInteger(v) ? String(v) : '';
    });
    // One bar per sweep; with very many sweeps, one bar per run of sweeps
    // (never across rounds) showing the most labels changed in it.
    var perBar = Math.ceil(count / MAX_TRACE_BARS);
    var step = (frame.right - frame.left) / count;
    var bars = svgElement('g', { class: 'changed' });
    var temperaturePath = '';
    for (var first = 0, i; first < count; first = i) {
      var most = 0, greedy = false;
      for (i = first; i < count && i - first < perBar && t.round[i] === t.round[first]; ++i) {
        most = Math.max(most, t.changed[i]);
        greedy = greedy || t.greedy[i];
      }
      var top = changedFrame.y(most);
      var bar = svgElement('rect', {
        x: frame.x(first + 1) - step / 2 + 0.5, y: top, width: Math.max(step * (i - first) - 1, 1),
        height: Math.max(changedFrame.bottom - top, 0.5), fill: greedy ? '#f28e2b' : '#7aa6d6'
      });
      var sweeps = i - first === 1 ? 'sweep ' + t.sweep[first] : 'sweeps ' + t.sweep[first] + '–' + t.sweep[i - 1];
      bar.appendChild(svgElement('title', {}, 'round ' + t.round[first] + ', ' + sweeps +
        (greedy ? ' (greedy)' : '') + ': T = ' + formatNumber(t.temperature[first]) + ', ' +
        (i - first === 1 ? '' : 'at most ') + most + ' labels changed'));
      bars.appendChild(bar);
      temperaturePath += (first === 0 || t.round[first] !== t.round[first - 1] ? 'M' : 'L') +
        frame.x(first + 1).toFixed(2) + ',' + frame.y(t.temperature[first]).toFixed(2);
    }
    svg.appendChild(bars);
    svg.appendChild(svgElement('path', { d: temperaturePath, fill: 'none', stroke: '#b2182b', 'stroke-width': 2 }));
    var marks = svgElement('g', { class: 'marks' });
    for (i = 0; i < count; ++i) {
      var x = frame.x(i + 1);
      if (i > 0 && t.round[i] !== t.round[i - 1]) {
        var between = x - (frame.x(2) - frame.x(1)) / 2;
        marks.appendChild(svgElement('line', { x1: between, x2: between, y1: frame.top - 10, y2: frame.bottom, stroke: '#333', 'stroke-dasharray': '4 3' }));
      }
      if (i === 0 || t.round[i] !== t.round[i - 1])
        marks.appendChild(svgElement('text', { x: x, y: frame.top - 12 }, 'round ' + t.round[i]));
      if (t.greedy[i]) {
        marks.appendChild(svgElement('circle', { cx: x, cy: frame.y(t.temperature[i]), r: 4.5, fill: '#f28e2b', stroke: '#333' }));
        marks.appendChild(svgElement('text', { x: x - 4, y: frame.y(t.temperature[i]) - 8, 'text-anchor': 'end' }, 'greedy'));
      }
    }
    svg.appendChild(marks);
    var key = svgElement('g', { class: 'key' });
    var keyX = frame.right - 190;
    key.appendChild(svgElement('line', { x1: keyX, x2: keyX + 18, y1: frame.top + 8, y2: frame.top + 8, stroke: '#b2182b', 'stroke-width': 2 }));
    key.appendChild(svgElement('text', { x: keyX + 24, y: frame.top + 12 }, 'temperature'));
    key.appendChild(svgElement('rect', { x: keyX, y: frame.top + 18, width: 18, height: 10, fill: '#7aa6d6' }));
    key.appendChild(svgElement('text', { x: keyX + 24, y: frame.top + 27 }, 'labels changed'));
    key.appendChild(svgElement('rect', { x: keyX, y: frame.top + 33, width: 18, height: 10, fill: '#f28e2b' }));
    key.appendChild(svgElement('text', { x: keyX + 24, y: frame.top + 42 }, 'greedy sweep'));
    svg.appendChild(key);
  }

  // ---- 3D view ----------------------------------------------------------------

  var VERTEX_SHADER = [
    'attribute vec3 position;',
    'attribute vec3 normal;',
    'attribute vec3 colour;',
    'uniform mat4 modelView;',
    'uniform mat4 projection;',
    'uniform float pointSize;',
    'varying vec3 eyePosition;',
    'varying vec3 eyeNormal;',
    'varying vec3 vertexColour;',
    'void main() {',
    '  vec4 eye = modelView * vec4(position, 1.0);',
    '  eyePosition = eye.xyz;',
    '  eyeNormal = (modelView * vec4(normal, 0.0)).xyz;',
    '  vertexColour = colour;',
    '  gl_PointSize = pointSize;',
    '  gl_Position = projection * eye;',
    '}'
  ].join('\n');

  function fragmentShader(withDerivatives) {
    return [
      withDerivatives ? '#extension GL_OES_standard_derivatives : enable' : '',
      'precision mediump float;',
      'uniform bool flatShading;',
      'varying vec3 eyePosition;',
      'varying vec3 eyeNormal;',
      'varying vec3 vertexColour;',
      'void main() {',
      '  vec3 n = eyeNormal;',
      withDerivatives ? '  if (flatShading) n = cross(dFdx(eyePosition), dFdy(eyePosition));' : '',
      '  float light = length(n) > 0.0 ? abs(dot(normalize(n), normalize(-eyePosition))) : 1.0;',
      // A head light on both sides; colours only darken, so each class keeps its hue.
      '  gl_FragColor = vec4(vertexColour * (0.45 + 0.55 * light), 1.0);',
      '}'
    ].join('\n');
  }

  function compile(gl, type, source) {
    var shader = gl.createShader(type);
    gl.shaderSource(shader, source);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS))
      throw new Error('shader: ' + gl.getShaderInfoLog(shader));
    return shader;
  }

  function program(gl, fragmentSource) {
    var p = gl.createProgram();
    gl.attachShader(p, compile(gl, gl.VERTEX_SHADER, VERTEX_SHADER));
    gl.attachShader(p, compile(gl, gl.FRAGMENT_SHADER, fragmentSource));
    gl.linkProgram(p);
    if (!gl.getProgramParameter(p, gl.LINK_STATUS)) throw new Error('program: ' + gl.getProgramInfoLog(p));
    return p;
  }

  // Column-major 4 x 4 matrices.
  function multiply(a, b) {
    var r = new Float32Array(16);
    for (var col = 0; col < 4; ++col)
      for (var row = 0; row < 4; ++row) {
        var s = 0;
        for (var k = 0; k < 4; ++k) s += a[k * 4 + row] * b[col * 4 + k];
        r[col * 4 + row] = s;
      }
    return r;
  }

  function rotation(axis, angle) {
    var c = Math.cos(angle), s = Math.sin(angle);
    var m = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]);
    var i = axis === 'x' ? 1 : 0, j = axis === 'z' ? 1 : 2;
    m[i * 4 + i] = c; m[i * 4 + j] = s; m[j * 4 + i] = -s; m[j * 4 + j] = c;
    return m;
  }

  function translation(x, y, z, scale) {
    return new Float32Array([scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, scale, 0, x, y, z, 1]);
  }

  function perspective(fieldOfView, aspect, near, far) {
    var f = 1 / Math.tan(fieldOfView / 2);
    return new Float32Array([f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + near) / (near - far), -1,
      0, 0, 2 * far * near / (near - far), 0]);
  }

  /// Area-weighted vertex normals.
  function vertexNormals(positions, triangles) {
    var normals = new Float32Array(positions.length);
    for (var t = 0; t < triangles.length; t += 3) {
      var a = triangles[t] * 3, b = triangles[t + 1] * 3, c = triangles[t + 2] * 3;
      var ux = positions[b] - positions[a], uy = positions[b + 1] - positions[a + 1], uz = positions[b + 2] - positions[a + 2];
      var vx = positions[c] - positions[a], vy = positions[c + 1] - positions[a + 1], vz = positions[c + 2] - positions[a + 2];
      var nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
      normals[a] += nx; normals[a + 1] += ny; normals[a + 2] += nz;
      normals[b] += nx; normals[b + 1] += ny; normals[b + 2] += nz;
      normals[c] += nx; normals[c + 1] += ny; normals[c + 2] += nz;
    }
    return normals;
  }

  function createView(onDrawn) {
    var canvas = document.getElementById('view');
    var surface = data.surface;
    var positions = decodeWords(surface.positions, Float32Array);
    var triangles = decodeWords(surface.triangles, Uint32Array);
    var labels = decodeBase64(surface.labels);
    var values = decodeWords(surface.values, Float32Array);
    var segmentBytes = decodeBase64(surface.segmentColours);
    var segmentColourOf = new Uint16Array(segmentBytes.length >> 1);
    for (var w = 0; w < segmentColourOf.length; ++w)
      segmentColourOf[w] = segmentBytes[2 * w] | segmentBytes[2 * w + 1] << 8;
    if (segmentColourOf.length !== labels.length)
      document.querySelector('input[name=colour][value=segments]').disabled = true;
    var vertexCount = labels.length;

    var note = document.getElementById('view-note');
    note.textContent = surface.simplified
      ? 'Simplified for the view: the mesh has ' + formatCount(surface.meshTriangles) +
        ' triangles, more than the view\'s budget of ' + formatCount(surface.triangleBudget) +
        '; shown are ' + formatCount(vertexCount) + ' grid clusters (cell edge ' + formatNumber(surface.cellSize) +
        ') and ' + formatCount(surface.triangleCount) + ' triangles, each cluster coloured by its majority class (or, in the segments view, by the segment of its first vertex of that class). ' +
        'The tables and plots use every vertex.'
      : formatCount(vertexCount) + ' vertices and ' + formatCount(surface.triangleCount) + ' triangles, as in the mesh.';

    // Multisampling costs a software renderer most of the first frame on large surfaces.
    var antialias = surface.triangleCount <= 200000;
    var gl = canvas.getContext('webgl', { antialias: antialias, preserveDrawingBuffer: true }) ||
      canvas.getContext('experimental-webgl', { preserveDrawingBuffer: true });
    if (!gl) {
      note.textContent = 'This browser offers no WebGL: the 3D view cannot be shown. ' + note.textContent;
      onDrawn();
      return;
    }
    var wideIndices = gl.getExtension('OES_element_index_uint');
    var derivatives = gl.getExtension('OES_standard_derivatives');
    if (!wideIndices && vertexCount > 65535) throw new Error('WebGL without 32-bit indices cannot draw this surface');
    var shader = program(gl, fragmentShader(Boolean(derivatives)));
    if (!derivatives) document.querySelector('input[name=shading][value=flat]').disabled = true;

    // Centre and size of the surface, in double precision: any finite float
    // coordinates, 1e38 or 1e-38 included, then become view coordinates within
    // [-1, 1], so that neither the GPU's floats nor the normals overflow or
    // vanish.
    var low = [Infinity, Infinity, Infinity], high = [-Infinity, -Infinity, -Infinity];
    for (var i = 0; i < positions.length; i += 3)
      for (var axis = 0; axis < 3; ++axis) {
        low[axis] = Math.min(low[axis], positions[i + axis]);
        high[axis] = Math.max(high[axis], positions[i + axis]);
      }
    var centre = [0, 1, 2].map(function (a) { return (low[a] + high[a]) / 2 || 0; });
    // The farthest vertex from the centre: the surface stays in view however it turns.
    var radius = 0;
    for (i = 0; i < positions.length; i += 3) {
      var dx = positions[i] - centre[0], dy = positions[i + 1] - centre[1], dz = positions[i + 2] - centre[2];
      radius = Math.max(radius, dx * dx + dy * dy + dz * dz);
    }
    radius = Math.sqrt(radius) || 1;
    var viewPositions = new Float32Array(positions.length);
    for (i = 0; i < positions.length; ++i) viewPositions[i] = (positions[i] - centre[i % 3]) / radius;

    var valueLow = Infinity, valueHigh = -Infinity;
    for (i = 0; i < values.length; ++i) { valueLow = Math.min(valueLow, values[i]); valueHigh = Math.max(valueHigh, values[i]); }
    drawValueScale(valueLow, valueHigh);

    function buffer(target, array) {
      var b = gl.createBuffer();
      gl.bindBuffer(target, b);
      gl.bufferData(target, array, gl.STATIC_DRAW);
      return b;
    }
    var positionBuffer = buffer(gl.ARRAY_BUFFER, viewPositions);
    var normalBuffer = buffer(gl.ARRAY_BUFFER, vertexNormals(viewPositions, triangles));
    var colourBuffer = gl.createBuffer();
    var indexBuffer = gl.createBuffer();
    var indexCount = 0;
    var IndexArray = wideIndices ? Uint32Array : Uint16Array;
    var indexType = wideIndices ? gl.UNSIGNED_INT : gl.UNSIGNED_SHORT;

    var state = { colourBy: 'classes', flat: false, rotation: null, distance: 0 };
    var fieldOfView = 35 * Math.PI / 180;
    function resetView() {
      state.rotation = multiply(rotation('x', -0.45), rotation('y', 0.5));
      state.distance = 1.08 / Math.sin(fieldOfView / 2);
    }
    resetView();

    function updateColours() {
      var colours = new Uint8Array(vertexCount * 3);
      var span = valueHigh > valueLow ? valueHigh - valueLow : 1;
      for (var v = 0; v < vertexCount; ++v) {
        var colour = state.colourBy === 'classes' ? data.classColours[labels[v]]
          : state.colourBy === 'segments' ? segmentColour(segmentColourOf[v])
          : data.ramp[Math.max(0, Math.min(255, Math.round((values[v] - valueLow) / span * 255)))];
        colours[v * 3] = colour[0]; colours[v * 3 + 1] = colour[1]; colours[v * 3 + 2] = colour[2];
      }
      gl.bindBuffer(gl.ARRAY_BUFFER, colourBuffer);
      gl.bufferData(gl.ARRAY_BUFFER, colours, gl.STATIC_DRAW);
    }

    /// A triangle is drawn when none of its corners belongs to a hidden class;
    /// without triangles, every shown vertex is drawn as a point.
    function updateIndices() {
      var shown;
      var anyHidden = hiddenClasses.some(Boolean);
      if (triangles.length > 0 && !anyHidden && wideIndices) {
        shown = triangles;
      } else if (triangles.length > 0) {
        shown = new IndexArray(triangles.length);
        var n = 0;
        for (var t = 0; t < triangles.length; t += 3) {
          var a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
          if (hiddenClasses[labels[a]] || hiddenClasses[labels[b]] || hiddenClasses[labels[c]]) continue;
          shown[n++] = a; shown[n++] = b; shown[n++] = c;
        }
        shown = shown.subarray(0, n);
      } else {
        var points = [];
        for (var v = 0; v < vertexCount; ++v) if (!hiddenClasses[labels[v]]) points.push(v);
        shown = new IndexArray(points);
      }
      indexCount = shown.length;
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, indexBuffer);
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, shown, gl.STATIC_DRAW);
    }

    function attribute(name, b, size, type, normalised) {
      var location = gl.getAttribLocation(shader, name);
      if (location < 0) return;
      gl.bindBuffer(gl.ARRAY_BUFFER, b);
      gl.enableVertexAttribArray(location);
      gl.vertexAttribPointer(location, size, type, normalised, 0, 0);
    }

    function draw() {
      gl.viewport(0, 0, canvas.width, canvas.height);
      gl.clearColor(0.5, 0.5, 0.5, 1);
      gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
      gl.enable(gl.DEPTH_TEST);
      gl.useProgram(shader);
      var modelView = multiply(translation(0, 0, -state.distance, 1), state.rotation);
      var near = Math.max(state.distance - 1.5, 0.01);
      gl.uniformMatrix4fv(gl.getUniformLocation(shader, 'modelView'), false, modelView);
      gl.uniformMatrix4fv(gl.getUniformLocation(shader, 'projection'), false,
        perspective(fieldOfView, canvas.width / canvas.height, near, state.distance + 1.5));
      gl.uniform1i(gl.getUniformLocation(shader, 'flatShading'), state.flat ? 1 : 0);
      gl.uniform1f(gl.getUniformLocation(shader, 'pointSize'), 3);
      attribute('position', positionBuffer, 3, gl.FLOAT, false);
      attribute('normal', normalBuffer, 3, gl.FLOAT, false);
      attribute('colour', colourBuffer, 3, gl.UNSIGNED_BYTE, true);
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, indexBuffer);
      gl.drawElements(triangles.length > 0 ? gl.TRIANGLES : gl.POINTS, indexCount, indexType, 0);
    }

    var pending = false;
    function redraw() {
      if (pending) return;
      pending = true;
      requestAnimationFrame(function () { pending = false; draw(); });
    }

    var drag = null;
    canvas.addEventListener('pointerdown', function (event) {
      drag = { x: event.clientX, y: event.clientY };
      canvas.setPointerCapture(event.pointerId);
      canvas.style.cursor = 'grabbing';
    });
    canvas.addEventListener('pointermove', function (event) {
      if (!drag) return;
      var dx = event.clientX - drag.x, dy = event.clientY - drag.y;
      drag = { x: event.clientX, y: event.clientY };
      state.rotation = multiply(multiply(rotation('y', dx * 0.01), rotation('x', dy * 0.01)), state.rotation);
      redraw();
    });
    function endDrag() { drag = null; canvas.style.cursor = 'grab'; }
    canvas.addEventListener('pointerup', endDrag);
    canvas.addEventListener('pointercancel', endDrag);
    canvas.addEventListener('wheel', function (event) {
      event.preventDefault();
      state.distance = Math.min(Math.max(state.distance * Math.exp(event.deltaY * 0.001), 1.2), 40);
      redraw();
    }, { passive: false });
    document.getElementById('reset-view').addEventListener('click', function () { resetView(); redraw(); });
    document.querySelectorAll('input[name=colour]').forEach(function (input) {
      input.addEventListener('change', function () {
        state.colourBy = input.value;
        document.getElementById('legend').hidden = input.value !== 'classes';
        document.getElementById('value-scale').hidden = input.value !== 'values';
        updateColours();
        redraw();
      });
    });
    document.querySelectorAll('input[name=shading]').forEach(function (input) {
      input.addEventListener('change', function () { state.flat = input.value === 'flat'; redraw(); });
    });

    updateColours();
    updateIndices();
    draw();
    // Drawn once the frame holding the first picture has been shown.
    requestAnimationFrame(function () { requestAnimationFrame(onDrawn); });
    return function () { updateIndices(); redraw(); };
  }

  // ---- everything in order ------------------------------------------------------

  function finish() {
    var errors = window.vornelErrors;
    if (errors.length) {
      var pre = document.getElementById('errors');
      pre.hidden = false;
      pre.textContent = errors.join('\n');
    }
    document.body.setAttribute('data-errors', String(errors.length));
  }

  function signalDrawn() {
    finish();
    document.body.setAttribute('data-draw-ms', String(Math.round(performance.now())));
    document.body.setAttribute('data-drawn', '1');
  }

  function failed(error) {
    window.vornelErrors.push(String(error && error.stack || error));
    signalDrawn();
  }

  try {
    drawSummary();
    drawClassTable();
    drawSegments();
    drawValues();
    drawTrace();
    drawRunTable();
    var onClassesChanged = createView(signalDrawn);
    drawLegend(onClassesChanged || function () {});
  } catch (error) {
    failed(error);
  }
})();
