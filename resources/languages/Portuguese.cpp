#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Este programa utiliza a biblioteca FreeType (https://freetype.org/).\n\n"
                               u"Os codificadores MP3, Vorbis e FLAC são programas independentes:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kPortugueseTable = {
    ui(u"OK"), ui(u"Cancelar"), ui(u"Arquivo"), ui(u"Converter"), ui(u"Consultar FreeDB"),
    ui(u"Sair\tAlt+F4"), ui(u"Exibir"), ui(u"Opções"), ui(u"Idioma"), TONVANE_LANGUAGE_NAMES, ui(u"Ajuda"),
    ui(texts::kWebLabel), ui(u"Insira um CD de música"), ui(u"Título:"), ui(u"Faixa"), ui(u"Duração:"),
    ui(u"Conectando ao FreeDB..."), ui(u"Conectado ao FreeDB"), ui(u"Enviando solicitação..."),
    ui(u"Recebendo informações..."), ui(u"Download concluído"), ui(u"Erro ao conectar ao FreeDB"),
    ui(u"Conexão com o FreeDB interrompida"), ui(u"Álbum:"), ui(u"Aplicar alterações a todas as faixas"),
    ui(u"Verificar atualizações..."), ui(u"Verificando atualizações..."),
    ui(u"Deseja atualizar para a versão %s?"), ui(u"Há atualizações disponíveis"),
    ui(u"Não há atualizações disponíveis"), ui(u"Baixando..."), ui(u"Sobre..."), ui(kAbout),
    ui(u"Ajuda..."), ui(product::kTutorialsPage), ui(u"Propriedades"), ui(u"Tutoriais"),
    ui(product::kWebPage),
    ui(u"Download"), ui(u"Não é possível abrir %s: %s"),
    ui(u"permissão negada. Adicione seu usuário ao grupo \"cdrom\" e entre novamente"),
    ui(u"a unidade está ocupada (outro programa a está usando)"),
    ui(u"Os arquivos já existem"),
    ui(u"%s já existe nesta pasta. Substituir os arquivos existentes ou manter ambos?"),
    ui(u"Substituir"),
    ui(u"Manter ambos"),
    ui(u"Nova pasta"), ui(u"O download falhou"),
    ui(u"Modo de leitura:"),
    ui(u"Normal"),
    ui(u"Seguro"),
    ui(u"Testar e copiar"),
    ui(u"Verificar as faixas com o AccurateRip"),
    ui(u"Metadados:"),
    ui(u"MusicBrainz e CDDB"),
    ui(u"Somente CDDB"),
    ui(u"Nenhum"),
    ui(u"Servidor CDDB:"),
    ui(u"Baixar a capa"),
    ui(u"Uma pasta por álbum"),
    ui(u"Gravar etiquetas ReplayGain"),
    ui(u"Procurar atualizações ao iniciar"),
    ui(u"Deslocamento:"),
    ui(u"Detectar"),
    ui(u"%s amostras"),
    ui(u"%s amostras (%s faixas concordam)"),
    ui(u"Consultando o AccurateRip..."),
    ui(u"Lendo a faixa %s de %s..."),
    ui(u"Sem resposta: %s"),
    ui(u"o AccurateRip não conhece este disco"),
    ui(u"o AccurateRip não responde"),
    ui(u"nenhuma faixa coincide com um único deslocamento"),
    ui(u"o disco não pode ser lido"),
    ui(u"Unidade:"), ui(u"disco %s/%s"),
    ui(u"Parar"), ui(u"Exata (confiança %s)"), ui(u"Não exata"), ui(u"Fora do banco de dados"), ui(u"Não verificada"),
    ui(u"Falhou"), ui(u"Parada"), ui(u"%s de %s faixas completas, %s exatas"), ui(u"Abrir pasta"), ui(u"Mostrar registro"),
    ui(u"Não foi possível ler %s setores"), ui(u"%s setores lidos de forma diferente a cada vez"), ui(u"Não foi possível ler a faixa ou gravar seu arquivo"),
    ui(u"Editar dados do álbum"),
    ui(u"Dados do álbum"),
    ui(u"Artista do álbum:"),
    ui(u"Ano:"),
    ui(u"Gênero:"),
    ui(u"Títulos digitados"),
    ui(u"Substituir os títulos que você digitou?"),
    ui(u"Manter"),
};

} // namespace tonvane
